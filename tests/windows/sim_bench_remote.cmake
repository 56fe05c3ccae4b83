# The remote test bench under wine: plain Win32 comm calls on COM ports that script/with-sim
# maps onto the Linux emulator, checked through the bench's control channel.
if(WIN32 AND TARGET sim_bench)
  add_executable(sim_bench_remote_test ${CMAKE_CURRENT_LIST_DIR}/sim_bench_remote_test.cpp)
  target_link_libraries(sim_bench_remote_test PRIVATE sim_bench ${GTEST_TARGETS})
  drusel_add_gtest(sim_bench_remote_test PROPERTIES ENVIRONMENT "DRUSEL_WITH_SIM=1" TIMEOUT 120)
endif()
