#!/usr/bin/env bash
# drusel-update.exe (win64) under wine64 against the Linux emulator mapped as COM1..COM5:
# info, flash at two speeds with the image compared byte for byte, and flash --all.
#
#   tests/e2e/cli_wine.sh PATH/TO/drusel-update.exe
#
# Runs itself inside script/with-sim --wine; talks to the emulator's control channel over
# bash's /dev/tcp. Exits non-zero on the first failed check.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
exe="$1"

if [[ -z "${DRUSEL_SIM_CONTROL:-}" ]]; then
    export WINEPREFIX="${WINEPREFIX:-$root/build/win64/wineprefix}"
    export DRUSEL_SIM="${DRUSEL_SIM:-$root/build/linux/bin/drusel-sim}"
    exec "$root/script/with-sim" --wine -- bash "${BASH_SOURCE[0]}" "$exe"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }

exec 5<>"/dev/tcp/${DRUSEL_SIM_CONTROL%:*}/${DRUSEL_SIM_CONTROL#*:}"
control() {
    echo "$*" >&5
    local reply
    read -r reply <&5
    [[ "$reply" == ok* ]] || fail "emulator: '$*' answered '$reply'"
    echo "${reply#ok}" | sed 's/^ //'
}

run() {  # run EXPECTED_EXIT ARGS...: the tool's stdout in $out, stderr in $err
    local expected="$1"; shift
    local status=0
    out="$("$root/script/wine-run" "$exe" "$@" 2>"$work/err")" || status=$?
    err="$(cat "$work/err")"
    [[ "$status" == "$expected" ]] || fail "drusel-update $* exited $status, expected $expected; stdout: $out; stderr: $err"
}

work="$(mktemp -d /tmp/dcwXXXX)"
trap 'rm -rf "$work"' EXIT

for i in 1 2 3 4 5; do control configure "$i" absent >/dev/null; done

# info: the unit on the third port is found after two missing ones.
control configure 3 kestrale:S >/dev/null
run 0 --port COM1 --port COM2 --port COM3 info
[[ "$out" == *"Unit:            Kestrale Serial v1.5.A"* ]] || fail "info: $out"
[[ "$out" == *"Hardware info:   41 00 00 53"* ]] || fail "info hardware bytes: $out"
run 0 --json --port COM3 info
[[ "$out" == *'"kind":129'* && "$out" == *'"protocol_flags":2'* ]] || fail "info --json: $out"

# A valid image: 4999 bytes and their sum.
head -c 4999 /dev/urandom >"$work/fw.enc"
sum=$(od -An -v -tu1 "$work/fw.enc" | tr -s ' ' '\n' | awk 'NF {s += $1} END {print s % 256}')
printf "\\x$(printf %02x "$sum")" >>"$work/fw.enc"
expected_hex=$(od -An -v -tx1 "$work/fw.enc" | tr -d ' \n' | tr a-f A-F)
image="Z:${work//\//\\}\\fw.enc"

for speed in 115200 921600; do
    control configure 2 kestrale:U >/dev/null
    run 0 --port COM1 --port COM2 --speed "$speed" flash "$image"
    [[ "$out" == *"Update Successful. New version is 01.06.A"* ]] || fail "flash at $speed: $out"
    [[ "$(control image 2)" == "$expected_hex" ]] || fail "flash at $speed: the unit received another image"
    [[ "$(control unit-speed 2)" == 115200 ]] || fail "flash at $speed: the unit is not back at 115200"
    [[ "$(control in-use 2)" == 0 ]] || fail "flash at $speed: the port was not released"
    echo "flash at $speed bit/s under wine: ok"
done

# Three COM ports flashed at once; the one that fails does not disturb the others.
control configure 2 kestrale:U >/dev/null
control configure 3 "kestrale:S fault=block:2:byte:?" >/dev/null
control configure 4 gristpell >/dev/null
run 6 --port COM2 --port COM3 --port COM4 flash --all --yes --speed 460800 "$image"
[[ "$(control image 2)" == "$expected_hex" && "$(control image 4)" == "$expected_hex" ]] ||
    fail "flash --all: a unit received another image"
[[ "$out" == *"12.00.F -> 12.01.F  updated"* ]] || fail "flash --all summary: $out"
[[ "$err" == *"2 of 3 units were updated."* ]] || fail "flash --all verdict: $err"
for i in 2 3 4; do
    [[ "$(control unit-speed "$i")" == 115200 && "$(control in-use "$i")" == 0 ]] ||
        fail "flash --all: COM$i not back at 115200 and released"
done
echo "flash --all over three COM ports under wine: ok"

# A failure answer keeps its exit code and words on Windows too.
control configure 2 "kestrale:U fault=final:byte:W" >/dev/null
run 6 --port COM2 flash "$image"
[[ "$err" == *"Firmware failed during flash process."* ]] || fail "flash with 'W': $err"
echo "all drusel-update checks under wine passed"
