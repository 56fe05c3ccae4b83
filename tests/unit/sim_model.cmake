# The emulator's pure model and its unit text (Linux only: the emulator runs on Linux).
if(NOT WIN32)
  add_executable(sim_model_tests
    ${CMAKE_CURRENT_LIST_DIR}/sim_model_wire_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim_model_upload_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim_model_fault_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sim_model_config_test.cpp)
  target_include_directories(sim_model_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(sim_model_tests PRIVATE sim_core ${GTEST_TARGETS})
  drusel_add_gtest(sim_model_tests)
endif()
