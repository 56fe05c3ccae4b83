# Upload speed benchmark (Linux: the emulator runs in-process on a pseudo-terminal), and the
# whole flash command timed as a child process against the same emulator.
if(NOT WIN32 AND TARGET sim_core)
  add_executable(bench-upload-speed ${CMAKE_CURRENT_LIST_DIR}/upload_speed.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/flash_command_timing.cpp)
  target_link_libraries(bench-upload-speed PRIVATE device_link sim_core)
  if(TARGET drusel-update)
    add_dependencies(bench-upload-speed drusel-update)
    target_compile_definitions(bench-upload-speed PRIVATE DRUSEL_UPDATE_PROGRAM="$<TARGET_FILE:drusel-update>")
  endif()
endif()
