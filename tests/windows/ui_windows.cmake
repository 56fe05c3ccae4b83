# The updater window's pieces that need real controls (edit-control log, CenterWindow,
# progress bar, worker procedure), run under wine64 by the win64 preset.
if(WIN32 AND TARGET updater_ui)
  add_executable(ui_windows_test ${CMAKE_CURRENT_LIST_DIR}/ui_windows_test.cpp)
  target_link_libraries(ui_windows_test PRIVATE updater_ui ${GTEST_TARGETS})
  target_include_directories(ui_windows_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  # Windows need a display: one virtual display for the whole executable.
  if(DRUSEL_REGISTER_TESTS)
    add_test(NAME ui_windows_test
             COMMAND xvfb-run -a -s "-screen 0 1024x768x24" ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:ui_windows_test>)
    set_tests_properties(ui_windows_test PROPERTIES TIMEOUT 300 LABELS "wine")
  endif()
endif()
