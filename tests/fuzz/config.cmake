# Fuzz targets of the configuration file readers (halvex/config).
halvex_fuzzer(field_file_fuzz SOURCES field_file_fuzz.cpp LIBS halvex_engine)
halvex_fuzzer(io_definitions_fuzz SOURCES io_definitions_fuzz.cpp LIBS halvex_engine)
halvex_fuzzer(preferences_fuzz SOURCES preferences_fuzz.cpp LIBS halvex_engine)
halvex_fuzzer(node_graphics_fuzz SOURCES node_graphics_fuzz.cpp LIBS halvex_engine)
