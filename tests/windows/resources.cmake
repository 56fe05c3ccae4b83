# Checks of the built Windows executables, run natively: they read DruselUpdater.exe of
# the win32 and win64 presets back (machine, imported DLLs, dialog template, icon
# images, manifest, version resource). An executable that is not built skips its
# tests; script/test builds both presets first.
if(NOT CMAKE_CROSSCOMPILING)
  set(DRUSEL_WIN32_UPDATER "${PROJECT_SOURCE_DIR}/build/win32/bin/DruselUpdater.exe" CACHE FILEPATH
      "The 32-bit DruselUpdater.exe that the resource test reads")
  set(DRUSEL_WIN64_UPDATER "${PROJECT_SOURCE_DIR}/build/win64/bin/DruselUpdater.exe" CACHE FILEPATH
      "The 64-bit DruselUpdater.exe that the resource test reads")
  add_executable(updater_executable_test
    ${CMAKE_CURRENT_LIST_DIR}/updater_executable_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pe_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_template.cpp
  )
  target_include_directories(updater_executable_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(updater_executable_test PRIVATE
    DRUSEL_WIN32_UPDATER="${DRUSEL_WIN32_UPDATER}" DRUSEL_WIN64_UPDATER="${DRUSEL_WIN64_UPDATER}")
  target_link_libraries(updater_executable_test PRIVATE ${GTEST_TARGETS})
  drusel_add_gtest(updater_executable_test)
endif()
