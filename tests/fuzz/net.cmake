# Receive paths: the endpoint's receives on a socket pair, and a port receiver's rings.
halvex_fuzzer(socket_receive_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/socket_receive_fuzz.cpp
  LIBS halvex_net)
halvex_fuzzer(port_ring_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/port_ring_fuzz.cpp
  LIBS halvex_streams)
