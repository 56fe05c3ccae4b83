# The device-link integration tests built for Windows: the Win32 serial layer against the
# Linux emulator, whose pseudo-terminals script/wine-run maps as COM1..COM5.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND TARGET sim_bench)
  add_executable(device_link_wine_tests
    ${PROJECT_SOURCE_DIR}/tests/integration/device_link_port_integration_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/integration/device_link_commands_integration_test.cpp
  )
  # Where wine differs from Windows (a hung-up line, exclusive opens between processes)
  # the tests only claim "a failure, never success".
  target_compile_definitions(device_link_wine_tests PRIVATE DEVICE_LINK_TESTS_UNDER_WINE)
  target_link_libraries(device_link_wine_tests PRIVATE device_link sim_bench ${GTEST_TARGETS})
  drusel_add_gtest(device_link_wine_tests PROPERTIES ENVIRONMENT "DRUSEL_WITH_SIM=1" TIMEOUT 120)
endif()
