# The POSIX serial layer and image files on pseudo-terminals and temporary files.
if(NOT WIN32)
  add_executable(serial_posix_tests
    ${CMAKE_CURRENT_LIST_DIR}/serial_posix_open_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_posix_line_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_posix_read_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/serial_posix_image_file_test.cpp
  )
  target_link_libraries(serial_posix_tests PRIVATE device_link ${GTEST_TARGETS})
  drusel_add_gtest(serial_posix_tests)
endif()
