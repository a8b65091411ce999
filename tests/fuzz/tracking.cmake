# Node list reading, and packets and state records applied to the node table.
halvex_fuzzer(node_list_fuzz SOURCES node_list_fuzz.cpp LIBS halvex_engine)
halvex_fuzzer(node_updates_fuzz SOURCES node_updates_fuzz.cpp LIBS halvex_engine)
