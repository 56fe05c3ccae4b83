# The emulator's pty host and the local test bench, driven with plain POSIX reads and writes.
if(NOT WIN32)
  add_executable(sim_pty_host_tests ${CMAKE_CURRENT_LIST_DIR}/sim_pty_host_test.cpp)
  target_link_libraries(sim_pty_host_tests PRIVATE sim_bench ${GTEST_TARGETS})
  drusel_add_gtest(sim_pty_host_tests)
endif()
