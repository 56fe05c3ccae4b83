# Tests of the updater window. Natively: the portable pieces (result table, version text,
# centring arithmetic, picker path rules, ampersand escaping, the dialog's states), the
# same sources the Windows program compiles. Under wine64 (win64 preset): the pieces that
# need real controls (edit-control log, CenterWindow, progress bar, worker procedure).
if(NOT WIN32)
  add_library(updater_ui_portable STATIC
    ${PROJECT_SOURCE_DIR}/ui/centering.cpp
    ${PROJECT_SOURCE_DIR}/ui/dialog_model.cpp
    ${PROJECT_SOURCE_DIR}/ui/path_text.cpp
    ${PROJECT_SOURCE_DIR}/ui/result_table.cpp
    ${PROJECT_SOURCE_DIR}/ui/version_text.cpp
  )
  target_include_directories(updater_ui_portable PUBLIC ${PROJECT_SOURCE_DIR}/ui ${PROJECT_SOURCE_DIR}/device)
  target_compile_options(updater_ui_portable PRIVATE -Wconversion)

  add_executable(ui_unit_tests
    ${CMAKE_CURRENT_LIST_DIR}/ui_centering_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ui_dialog_model_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ui_path_text_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ui_result_table_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ui_version_text_test.cpp
  )
  target_link_libraries(ui_unit_tests PRIVATE updater_ui_portable ${GTEST_TARGETS})
  drusel_add_gtest(ui_unit_tests)
endif()

if(WIN32 AND TARGET updater_ui)
  add_executable(ui_windows_test ${CMAKE_CURRENT_LIST_DIR}/ui_windows_test.cpp)
  target_link_libraries(ui_windows_test PRIVATE updater_ui ${GTEST_TARGETS})
  # Windows need a display: one virtual display for the whole executable.
  if(DRUSEL_REGISTER_TESTS)
    add_test(NAME ui_windows_test
             COMMAND xvfb-run -a -s "-screen 0 1024x768x24" ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:ui_windows_test>)
    set_tests_properties(ui_windows_test PROPERTIES TIMEOUT 300 LABELS "wine")
  endif()
endif()
