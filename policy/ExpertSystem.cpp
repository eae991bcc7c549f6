// The colony's expert-system operations (being written).
