// Replaced by the desktop program sources.
