// The colony (being written).
