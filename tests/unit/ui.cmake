# Native tests of the updater window's portable pieces: the result table, version text,
# centring arithmetic, picker path rules, ampersand escaping and the dialog's states.
# The same sources are compiled into the Windows program by ui/CMakeLists.txt.
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
