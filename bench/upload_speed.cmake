# Upload speed benchmark (Linux: the emulator runs in-process on a pseudo-terminal).
if(NOT WIN32 AND TARGET sim_core)
  add_executable(bench-upload-speed ${CMAKE_CURRENT_LIST_DIR}/upload_speed.cpp)
  target_link_libraries(bench-upload-speed PRIVATE device_link sim_core)
endif()
