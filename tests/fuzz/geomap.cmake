# Map geo-reference: the map setup file reader on plain corners, and the project's "MAP_group"
# section reader with maps that show no dialogs.
halvex_fuzzer(map_setup_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/map_setup_fuzz.cpp LIBS halvex_maps)
halvex_fuzzer(map_group_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/map_group_fuzz.cpp LIBS halvex_project)
