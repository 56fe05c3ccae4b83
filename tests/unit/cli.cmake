# drusel-update's pure pieces: exit codes, JSON lines, progress text, the image summary,
# the Ctrl-C decisions, port lists.
if(TARGET drusel_cli_core)
  add_executable(cli_unit_tests
    ${CMAKE_CURRENT_LIST_DIR}/cli_exit_codes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_json_line_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_progress_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_image_summary_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_interrupt_control_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_ports_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/cli_json.cpp
  )
  target_include_directories(cli_unit_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(cli_unit_tests PRIVATE drusel_cli_core ${GTEST_TARGETS})
  drusel_add_gtest(cli_unit_tests)
endif()
