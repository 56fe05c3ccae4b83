# Unit tests of the device link core over the scripted fake serial layer.
add_executable(device_link_unit_tests
  ${CMAKE_CURRENT_LIST_DIR}/device_link_basics_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_link_port_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_link_commands_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device_link_random_replies_test.cpp
)
target_link_libraries(device_link_unit_tests PRIVATE device_link_fake ${GTEST_TARGETS})
if(NOT CMAKE_CROSSCOMPILING)
  find_package(Threads REQUIRED)
  target_link_libraries(device_link_unit_tests PRIVATE Threads::Threads)
endif()
drusel_add_gtest(device_link_unit_tests)
