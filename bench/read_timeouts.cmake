# Read time-out accuracy of the serial layer of each build, against a pty peer.
add_executable(read_timeout_accuracy ${CMAKE_CURRENT_LIST_DIR}/read_timeout_accuracy.cpp)
target_link_libraries(read_timeout_accuracy PRIVATE device_link)
if(NOT WIN32)
  # The peer itself is a Linux program: the Windows benchmark reaches it through wine.
  add_executable(drusel-bench-peer ${CMAKE_CURRENT_LIST_DIR}/pty_trigger_peer_posix.cpp)
endif()
