# Tests of the updater window. Natively: the portable pieces (result table, version text,
# centring arithmetic, picker path rules, ampersand escaping, the dialog's states), the
# same sources the Windows program compiles. The pieces that need real controls are in
# tests/windows/ui_windows.cmake.
if(NOT WIN32)
  add_library(updater_ui_portable STATIC
    ${PROJECT_SOURCE_DIR}/ui/centering.cpp
    ${PROJECT_SOURCE_DIR}/ui/dialog_model.cpp
    ${PROJECT_SOURCE_DIR}/ui/path_text.cpp
  )
  target_include_directories(updater_ui_portable PUBLIC ${PROJECT_SOURCE_DIR}/ui)
  target_link_libraries(updater_ui_portable PUBLIC drusel_report device_link_fake)
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
