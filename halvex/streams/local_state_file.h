// Reading of local state files into the node table.
#pragma once

class NodeTable;

/// Reads the local state file `name` into `table`: state records update their nodes and a changed
/// ring-marker set replaces the table's markers (the table keeps the marker-set indices between
/// reads). Returns false when the name is empty or the file cannot be opened.
bool readLocalStateFile(NodeTable& table, const char* name);
