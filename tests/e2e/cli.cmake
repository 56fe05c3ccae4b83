# drusel-update end to end: the program run as a child process against emulated units.
if(NOT WIN32 AND TARGET drusel-update AND TARGET sim_bench)
  add_executable(cli_e2e_tests
    ${CMAKE_CURRENT_LIST_DIR}/cli_process.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_json.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_e2e_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_scan_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_check_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_flash_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_interrupt_test.cpp
  )
  target_link_libraries(cli_e2e_tests PRIVATE sim_bench ${GTEST_TARGETS})
  target_include_directories(cli_e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(cli_e2e_tests PRIVATE DRUSEL_UPDATE_PATH="$<TARGET_FILE:drusel-update>")
  add_dependencies(cli_e2e_tests drusel-update)
  drusel_add_gtest(cli_e2e_tests PROPERTIES TIMEOUT 300)
endif()
