// Replaced by the virtual heater sources.
