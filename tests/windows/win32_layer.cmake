# The Win32 serial and image-file layers on their own (no device link above them):
# error codes and texts, the per-thread last error, exclusive whole-file reads.
# Built for both Windows presets; run under wine64 by the win64 one.
if(WIN32)
  add_executable(win32_layer_test
    ${CMAKE_CURRENT_LIST_DIR}/win32_layer_errors_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_file_win32_test.cpp
    ${DRUSEL_PLATFORM_WIN32_SERIAL_SOURCES}
    ${DRUSEL_PLATFORM_WIN32_IMAGE_FILE_SOURCES}
  )
  target_include_directories(win32_layer_test PRIVATE ${DRUSEL_ROOT}/platform)
  target_link_libraries(win32_layer_test PRIVATE ${GTEST_TARGETS})
  drusel_add_gtest(win32_layer_test)
endif()

# The same layer on a real port: the emulator's pseudo-terminal mapped as COM1.
if(WIN32 AND TARGET sim_bench)
  add_executable(serial_win32_port_test ${CMAKE_CURRENT_LIST_DIR}/serial_win32_port_test.cpp
    ${DRUSEL_PLATFORM_WIN32_SERIAL_SOURCES})
  target_include_directories(serial_win32_port_test PRIVATE ${DRUSEL_ROOT}/platform)
  target_link_libraries(serial_win32_port_test PRIVATE sim_bench ${GTEST_TARGETS})
  drusel_add_gtest(serial_win32_port_test PROPERTIES ENVIRONMENT "DRUSEL_WITH_SIM=1")
endif()
