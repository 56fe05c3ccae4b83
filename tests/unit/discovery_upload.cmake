# Discovery, identification and the firmware upload, in-process over the scripted fake
# serial layer with the emulator's pure model playing the unit.

# The model is pure (no I/O): on Linux it comes with the emulator's library, for the
# Windows builds it is compiled here on its own.
if(WIN32)
  add_library(discovery_upload_model STATIC ${PROJECT_SOURCE_DIR}/sim/device_model.cpp)
  target_link_libraries(discovery_upload_model PUBLIC sim_config)
  target_include_directories(discovery_upload_model PUBLIC ${PROJECT_SOURCE_DIR}/sim)
else()
  add_library(discovery_upload_model INTERFACE)
  target_link_libraries(discovery_upload_model INTERFACE sim_core)
endif()

add_executable(discovery_upload_unit_tests
  ${CMAKE_CURRENT_LIST_DIR}/describe_device_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/discovery_fake_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upload_wire_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upload_refusal_test.cpp
)
target_link_libraries(discovery_upload_unit_tests PRIVATE
  device_link_fake upload_oracle discovery_upload_model ${GTEST_TARGETS})
drusel_add_gtest(discovery_upload_unit_tests)

# Image file faults need a scripted image file layer in place of the platform's.
add_executable(upload_file_fault_tests
  $<TARGET_OBJECTS:device_core>
  ${PROJECT_SOURCE_DIR}/tests/support/serial_fake.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upload_image_file_fake.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upload_file_fault_test.cpp
)
target_include_directories(upload_file_fault_tests PRIVATE ${DRUSEL_DEVICE_INCLUDE_DIRS} ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(upload_file_fault_tests PRIVATE upload_oracle ${GTEST_TARGETS})
drusel_add_gtest(upload_file_fault_tests)
