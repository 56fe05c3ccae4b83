# The emulator on real pseudo-terminals: the pty host and the local bench driven with plain
# POSIX reads and writes, the control channel, and the drusel-sim program itself.
if(NOT WIN32)
  add_executable(sim_pty_host_tests ${CMAKE_CURRENT_LIST_DIR}/sim_pty_host_test.cpp)
  target_link_libraries(sim_pty_host_tests PRIVATE sim_bench ${GTEST_TARGETS})
  drusel_add_gtest(sim_pty_host_tests)

  add_executable(sim_program_tests ${CMAKE_CURRENT_LIST_DIR}/sim_program_test.cpp
    ${PROJECT_SOURCE_DIR}/sim/control_server.cpp)
  target_link_libraries(sim_program_tests PRIVATE sim_core ${GTEST_TARGETS})
  target_compile_definitions(sim_program_tests PRIVATE DRUSEL_SIM_PROGRAM="$<TARGET_FILE:drusel-sim>")
  add_dependencies(sim_program_tests drusel-sim)
  drusel_add_gtest(sim_program_tests)
endif()
