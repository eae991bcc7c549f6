// The food field (being written).
