# Node list and packet application into the node table.
halvex_fuzzer(node_list_fuzz SOURCES node_list_fuzz.cpp LIBS halvex_model)
