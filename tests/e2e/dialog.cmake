# The Windows dialog end to end: dialog_driver.exe (win64 build) presses the dialog's
# buttons under wine; dialog_e2e_test (native build) runs the emulated units, wine,
# the program and the driver, scenario by scenario.
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_executable(dialog_driver ${CMAKE_CURRENT_LIST_DIR}/dialog_driver.cpp)
  endif()
elseif(NOT DRUSEL_SANITIZE)
  # Where the win64 build put DruselUpdater.exe and dialog_driver.exe.
  set(DRUSEL_WIN64_BIN_DIR "${PROJECT_SOURCE_DIR}/build/win64/bin" CACHE PATH
      "bin folder of the win64 build, for the dialog's end-to-end run")
  add_executable(dialog_e2e_test
    ${CMAKE_CURRENT_LIST_DIR}/dialog_e2e_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_scenario.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_wine_session.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_driver_client.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_process.cpp)
  target_link_libraries(dialog_e2e_test PRIVATE sim_bench ${GTEST_TARGETS})
  target_compile_definitions(dialog_e2e_test PRIVATE
    DRUSEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    DRUSEL_WIN64_BIN_DIR="${DRUSEL_WIN64_BIN_DIR}"
    DRUSEL_DIALOG_E2E_DIR="${PROJECT_BINARY_DIR}/e2e-dialog")
  # One test process for all scenarios: they share one display, prefix and wine server,
  # whose cold start costs seconds. Scenarios missing the win64 build are skipped.
  if(DRUSEL_REGISTER_TESTS)
    add_test(NAME dialog_e2e COMMAND dialog_e2e_test)
    set_tests_properties(dialog_e2e PROPERTIES
      TIMEOUT 900 LABELS "e2e;wine" RESOURCE_LOCK drusel_dialog_wine
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  endif()
endif()
