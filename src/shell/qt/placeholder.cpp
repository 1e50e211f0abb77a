// Replaced by the QtCore-backed sources of the shell.
