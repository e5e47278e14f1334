// The nineteen exported functions (being written).
