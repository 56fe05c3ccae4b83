# Contention and disappearing ports on COM ports under wine64, against the emulator. The
# test runs through a small wrapper that maps COM8 onto a folder ("busy": wine refuses it
# with ERROR_ACCESS_DENIED, as Windows refuses a port another program holds) and makes
# sure COM9 is not mapped ("no such port"), then runs it with the emulator on COM1..COM5.
if(WIN32 AND TARGET sim_bench)
  add_executable(contention_wine_tests ${PROJECT_SOURCE_DIR}/tests/integration/contention_com_test.cpp)
  target_link_libraries(contention_wine_tests PRIVATE device_link sim_bench upload_oracle ${GTEST_TARGETS})

  set(_contention_wrapper ${CMAKE_CURRENT_BINARY_DIR}/contention_wine_run.sh)
  file(WRITE ${_contention_wrapper} [=[#!/usr/bin/env bash
# Usage: contention_wine_run.sh SOURCE-ROOT PROGRAM.exe [arguments...]
set -euo pipefail
root="$1"
shift
export WINEPREFIX="${WINEPREFIX:-$root/build/win64/wineprefix}"
# The prefix (and its dosdevices folder) is made by the first wine-run.
[[ -f "$WINEPREFIX/.drusel-ready" ]] || "$root/script/wine-run" cmd /c exit >/dev/null 2>&1 || true
busy="$(mktemp -d /tmp/drusel-busy-XXXXXX)"
cleanup() { rm -f "$WINEPREFIX/dosdevices/com8"; rmdir "$busy"; }
trap cleanup EXIT
ln -sfn "$busy" "$WINEPREFIX/dosdevices/com8"
rm -f "$WINEPREFIX/dosdevices/com9"
DRUSEL_WITH_SIM=1 "$root/script/wine-run" "$@"
]=])
  if(DRUSEL_REGISTER_TESTS)
    add_test(NAME contention_wine_tests
      COMMAND bash ${_contention_wrapper} ${PROJECT_SOURCE_DIR} $<TARGET_FILE:contention_wine_tests>)
    set_tests_properties(contention_wine_tests PROPERTIES TIMEOUT 300 LABELS wine)
  endif()
endif()
