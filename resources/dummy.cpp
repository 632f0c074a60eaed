// Holds the embedded resources; no code of its own.
