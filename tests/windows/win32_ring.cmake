# The win32 ring: the 32-bit product's own test executables run under an emulated i386
# (script/win32-run: wine's i386 preloader under qemu-i386-static, from a private root).
# qemu keeps one GDT for all threads of a process, while 32-bit wine puts each thread's
# TEB selector into a per-thread GDT slot; so a Windows process whose threads run at the
# same time can read another thread's TEB and crash. The ring therefore holds the suites
# that pass there, one process per executable, and leaves out by name the few cases that
# stop on the emulation rather than on the product (README, "The 32-bit product").
#
# One process per executable (not per case): each wine start under qemu costs about half
# a second. A crash can exit 0 under wine (an exception code of 0), so a run passes only
# when GoogleTest printed its final PASSED line and no FAILED line.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4 AND DRUSEL_WIN32_RING)
  set(_win32_run ${PROJECT_SOURCE_DIR}/script/win32-run)

  # drusel_win32_suite(TARGET [SIM] [DISPLAY] [EXCLUDE case...])
  function(drusel_win32_suite target)
    cmake_parse_arguments(SUITE "SIM;DISPLAY" "" "EXCLUDE" ${ARGN})
    if(NOT TARGET ${target})
      return()
    endif()
    set(command ${_win32_run} $<TARGET_FILE:${target}>)
    if(SUITE_DISPLAY)
      set(command xvfb-run -a -s "-screen 0 1024x768x24" ${command})
    endif()
    if(SUITE_EXCLUDE)
      list(JOIN SUITE_EXCLUDE ":" excluded)
      list(APPEND command "--gtest_filter=-${excluded}")
    endif()
    add_test(NAME win32_${target} COMMAND ${command})
    set(environment "")
    if(SUITE_SIM)
      set(environment "DRUSEL_WITH_SIM=1")
    endif()
    set_tests_properties(win32_${target} PROPERTIES
      TIMEOUT 120 LABELS "win32" ENVIRONMENT "${environment}"
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
      FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  endfunction()

  # Two threads logging at once: the GDT slot above, not the log writer.
  drusel_win32_suite(device_link_unit_tests
    EXCLUDE WriteLog.TwoThreadsLoggingAtOnceKeepTheirLinesWhole)
  # The 4 GiB sparse file cannot be made by the 32-bit runtime here ("File too large"),
  # and the process does not survive the skip.
  drusel_win32_suite(discovery_upload_unit_tests
    EXCLUDE UploadFileAccess.SizeBeyondFourGibibytesIsNotTruncated)
  drusel_win32_suite(upload_file_fault_tests)
  drusel_win32_suite(cli_unit_tests)
  # The per-thread last error starts a second thread: under qemu the process then hung
  # after GoogleTest's PASSED line, at teardown (the GDT slot above, not the product).
  drusel_win32_suite(win32_layer_test
    EXCLUDE Win32SerialErrors.LastErrorIsPerThread)
  drusel_win32_suite(sim_bench_remote_test SIM)
  # 921600 bit/s: qemu's termios translation has no such speed (the driver reads back 0).
  drusel_win32_suite(serial_win32_port_test SIM
    EXCLUDE Win32SerialPort.TakesEverySpeedOfTheTable)
  # ui_windows_test is left out: a window needs wine's desktop process (explorer.exe),
  # which has several threads and, started under qemu, dies more often than not.
endif()
