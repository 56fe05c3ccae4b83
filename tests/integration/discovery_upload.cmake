# Discovery and upload on real serial ports against emulated units (SimBench). Natively the
# POSIX serial layer on pseudo-terminals; the same sources run under wine from
# tests/windows/discovery_upload.cmake.
if(NOT WIN32)
  add_executable(discovery_upload_pty_tests
    ${CMAKE_CURRENT_LIST_DIR}/discovery_pty_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_pty_test.cpp
  )
  target_link_libraries(discovery_upload_pty_tests PRIVATE device_link sim_bench upload_oracle ${GTEST_TARGETS})
  drusel_add_gtest(discovery_upload_pty_tests)
endif()
