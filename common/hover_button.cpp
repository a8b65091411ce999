// Filled in with the popup tool.
