# Contention and disappearing ports on the POSIX serial layer: a second link and a second
# program (contention_opener) against a port in use, the emulator (in-process, and the
# drusel-sim program) going away in the middle of an upload, and port paths that vanish.
if(NOT WIN32)
  add_executable(contention_opener ${CMAKE_CURRENT_LIST_DIR}/contention_opener.cpp)
  target_link_libraries(contention_opener PRIVATE device_link)

  add_executable(contention_tests ${CMAKE_CURRENT_LIST_DIR}/contention_port_test.cpp)
  target_link_libraries(contention_tests PRIVATE device_link sim_bench upload_oracle ${GTEST_TARGETS})
  target_compile_definitions(contention_tests PRIVATE
    DRUSEL_CONTENTION_OPENER="$<TARGET_FILE:contention_opener>"
    DRUSEL_SIM_PROGRAM="$<TARGET_FILE:drusel-sim>")
  add_dependencies(contention_tests contention_opener drusel-sim)
  drusel_add_gtest(contention_tests)
endif()
