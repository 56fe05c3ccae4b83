# Checks of the built Windows executables, run natively: they read DruselUpdater.exe of
# the win32 and win64 presets back (machine, imported DLLs, dialog template, icon
# images, manifest, version resource), and the version resource of drusel-update.exe. An executable that is not built skips its
# tests; script/test builds both presets first.
if(NOT CMAKE_CROSSCOMPILING)
  set(DRUSEL_WIN32_UPDATER "${PROJECT_SOURCE_DIR}/build/win32/bin/DruselUpdater.exe" CACHE FILEPATH
      "The 32-bit DruselUpdater.exe that the resource test reads")
  set(DRUSEL_WIN64_UPDATER "${PROJECT_SOURCE_DIR}/build/win64/bin/DruselUpdater.exe" CACHE FILEPATH
      "The 64-bit DruselUpdater.exe that the resource test reads")
  set(DRUSEL_WIN32_CLI "${PROJECT_SOURCE_DIR}/build/win32/bin/drusel-update.exe" CACHE FILEPATH
      "The 32-bit drusel-update.exe whose version resource the test reads")
  set(DRUSEL_WIN64_CLI "${PROJECT_SOURCE_DIR}/build/win64/bin/drusel-update.exe" CACHE FILEPATH
      "The 64-bit drusel-update.exe whose version resource the test reads")
  add_executable(updater_executable_test
    ${CMAKE_CURRENT_LIST_DIR}/updater_executable_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pe_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_template.cpp
  )
  target_include_directories(updater_executable_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(updater_executable_test PRIVATE
    DRUSEL_WIN32_UPDATER="${DRUSEL_WIN32_UPDATER}" DRUSEL_WIN64_UPDATER="${DRUSEL_WIN64_UPDATER}"
    DRUSEL_WIN32_CLI="${DRUSEL_WIN32_CLI}" DRUSEL_WIN64_CLI="${DRUSEL_WIN64_CLI}"
    DRUSEL_VERSION_TEXT="${PROJECT_VERSION}" DRUSEL_VERSION_MAJOR=${DRUSEL_VERSION_MAJOR}u
    DRUSEL_VERSION_MINOR=${DRUSEL_VERSION_MINOR}u DRUSEL_VERSION_PATCH=${DRUSEL_VERSION_PATCH}u
    DRUSEL_VERSION_TWEAK=${DRUSEL_VERSION_TWEAK}u)
  target_link_libraries(updater_executable_test PRIVATE ${GTEST_TARGETS})
  drusel_add_gtest(updater_executable_test)
endif()
