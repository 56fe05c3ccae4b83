# The dialog's rescan over five silent ports, natively and (win64) under wine against the
# emulator: script/bench-rescan.
# sim_bench (tests/support) is defined after this folder; its name resolves at generation.
if(DRUSEL_TESTS)
  add_executable(rescan_silent_ports ${CMAKE_CURRENT_LIST_DIR}/rescan_silent_ports.cpp)
  target_link_libraries(rescan_silent_ports PRIVATE device_link sim_bench)
endif()
