# Stream formats: scanners, formatters, packets, NMEA sentences, state records, ring markers,
# section files and state server responses.
foreach(target field_scan_fuzz nmea_fuzz packet_fuzz state_record_fuzz state_format_fuzz
        csv_data_set_fuzz csv_columns_fuzz
        ring_marker_fuzz dgc_reader_fuzz http_response_fuzz)
  halvex_fuzzer(${target} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp LIBS halvex_engine)
endforeach()

# The multicast port file reader.
halvex_fuzzer(port_file_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/port_file_fuzz.cpp LIBS halvex_engine)

# fetchRemoteState end to end against a server thread on 127.0.0.1 that serves the fuzz bytes.
halvex_fuzzer(remote_fetch_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/remote_fetch_fuzz.cpp LIBS halvex_engine)

# The node state message of the MQTT input, and the writer's messages read back.
halvex_fuzzer(node_json_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/node_json_fuzz.cpp
  LIBS halvex_streams)

# Cursor on Target events, and the stream splitter over the same bytes.
halvex_fuzzer(cot_event_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/cot_event_fuzz.cpp
  LIBS halvex_streams)
