# Track recordings.
