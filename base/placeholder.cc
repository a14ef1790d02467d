// Replaced by the runtime sources.
