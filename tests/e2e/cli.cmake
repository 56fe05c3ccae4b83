# drusel-update end to end: the program run as a child process against emulated units.
if(NOT WIN32 AND TARGET drusel-update AND TARGET sim_bench)
  add_executable(cli_e2e_tests
    ${CMAKE_CURRENT_LIST_DIR}/cli_process.cpp
    ${PROJECT_SOURCE_DIR}/tests/support/cli_json.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_e2e_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_scan_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_check_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_flash_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_interrupt_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cli_options_test.cpp
  )
  target_link_libraries(cli_e2e_tests PRIVATE sim_bench ${GTEST_TARGETS})
  target_include_directories(cli_e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(cli_e2e_tests PRIVATE DRUSEL_UPDATE_PATH="$<TARGET_FILE:drusel-update>"
                             DRUSEL_VERSION_TEXT="${PROJECT_VERSION}")
  add_dependencies(cli_e2e_tests drusel-update)
  drusel_add_gtest(cli_e2e_tests PROPERTIES TIMEOUT 300)
endif()

# The Windows build of the tool under wine64 against the Linux emulator mapped as COM ports
# (needs the linux preset's drusel-sim, as the other wine tests do).
if(WIN32 AND DRUSEL_REGISTER_TESTS AND TARGET drusel-update AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_test(NAME cli_wine COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/cli_wine.sh $<TARGET_FILE:drusel-update>)
  set_tests_properties(cli_wine PROPERTIES TIMEOUT 300)
endif()
