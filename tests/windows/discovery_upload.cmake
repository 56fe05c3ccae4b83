# Discovery and upload on COM ports under wine64: the pseudo-terminal tests built for
# Windows against the Linux emulator, whose ports script/wine-run maps as COM1..COM5.
if(WIN32 AND TARGET sim_bench)
  add_executable(discovery_upload_wine_tests
    ${PROJECT_SOURCE_DIR}/tests/integration/discovery_pty_test.cpp
    ${PROJECT_SOURCE_DIR}/tests/integration/upload_pty_test.cpp
  )
  # wine does not wake a read when the peer hangs up: it runs out its time-out empty.
  target_compile_definitions(discovery_upload_wine_tests PRIVATE DRUSEL_HANGUP_READS_AS_SILENCE)
  target_link_libraries(discovery_upload_wine_tests PRIVATE device_link sim_bench upload_oracle ${GTEST_TARGETS})
  drusel_add_gtest(discovery_upload_wine_tests PROPERTIES ENVIRONMENT "DRUSEL_WITH_SIM=1" TIMEOUT 120)
endif()
