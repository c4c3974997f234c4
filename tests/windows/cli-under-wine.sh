#!/usr/bin/env bash
# cli-under-wine.sh EXE: tarnwick-cli.exe under wine (WINEPREFIX set by the caller) with the
# emulated programmer: a verified write, a read of the flash it kept, a missing file, a file
# with a Chinese name written to the drive named as Windows names it, and the --log records.
set -euo pipefail
exe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# wine takes the command line and file names in the locale's encoding.
export LANG=C.UTF-8
fail() { echo "cli-under-wine: $*" >&2; exit 1; }
cli() { # expected-exit args...: runs, output in $work/out, error in $work/err
    local want=$1 got=0
    shift
    wine "$exe" "$@" --log "Z:$work/jobs.log" >"$work/out" 2>"$work/err" || got=$?
    ((got == want)) || fail "$*: exit $got, not $want: $(cat "$work/err")"
}

head -c 70000 /dev/urandom >"$work/image.bin"
cli 0 write "Z:$work/image.bin" --verify --emulate="Z:$work/flash.bin"
grep -q '^verified: ' "$work/out" || fail "write --verify printed no verified line"
cli 0 read "Z:$work/back.bin" --length 65536 --emulate="Z:$work/flash.bin"
cmp "$work/back.bin" <(head -c 65536 "$work/image.bin") || fail "read gave other bytes"

cp "$work/image.bin" "$work/固件 一.bin"
cli 0 write "Z:$work/固件 一.bin" --verify --emulate --device '\\.\PhysicalDrive1'
grep -q '^verified: ' "$work/out" || fail "the Chinese-named file was not verified"
cli 2 write "Z:$work/缺失.bin" --emulate
grep -q '缺失.bin' "$work/err" || fail "the missing file's name is not shown: $(cat "$work/err")"

# One whole record per job, the paths kept in UTF-8, the file's digest as sha256sum has it.
log=$(cat "$work/jobs.log")
[[ $(wc -l <<<"$log") == 4 ]] || fail "jobs.log: $log"
sum=$(sha256sum <"$work/image.bin" | cut -d' ' -f1)
grep -q "\"file\":\"[^\"]*/固件 一.bin\",\"size\":70000,\"sha256\":\"$sum\".*\"verified\":true" \
    <<<"$log" || fail "no record of the Chinese-named file: $log"
grep -q '"command":"read".*"size":65536,.*"exit":0' <<<"$log" || fail "no read record: $log"
grep -q '缺失.bin".*"exit":2' <<<"$log" || fail "no record of the missing file: $log"
echo "cli-under-wine: write, read, missing file, Chinese name and log: all as expected"
