# SimBench: emulated units for integration and end-to-end tests. Natively the units run
# in-process on pseudo-terminals; under wine the bench drives the Linux emulator's control channel.
if(WIN32)
  add_library(sim_bench STATIC ${CMAKE_CURRENT_LIST_DIR}/sim_bench_remote.cpp)
  target_link_libraries(sim_bench PUBLIC sim_config ws2_32)
else()
  add_library(sim_bench STATIC ${CMAKE_CURRENT_LIST_DIR}/sim_bench_local.cpp)
  target_link_libraries(sim_bench PUBLIC sim_core)
endif()
target_include_directories(sim_bench PUBLIC
  ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/sim ${DRUSEL_DEVICE_INCLUDE_DIRS})
