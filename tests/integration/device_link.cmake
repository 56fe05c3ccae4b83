# The device link on the real serial layer against emulated units on pseudo-terminals.
set(DEVICE_LINK_INTEGRATION_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/device_link_port_integration_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_link_commands_integration_test.cpp
)
if(NOT WIN32)
  add_executable(device_link_integration_tests ${DEVICE_LINK_INTEGRATION_SOURCES})
  target_include_directories(device_link_integration_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(device_link_integration_tests PRIVATE device_link sim_bench ${GTEST_TARGETS})
  drusel_add_gtest(device_link_integration_tests PROPERTIES TIMEOUT 60)
endif()
