# Sourced by the e2e cases, which run as root inside the QEMU guest (tests/e2e/vm/run-in-guest).
# Gives them the kernel modules, the gadget (tarnwick-gadget) with its control FIFO, waits with
# hang guards, and checks that count and report: each check prints PASS or FAIL with a
# sentence of behaviour, and `finish` ends the case with "N passed, M failed".
set -u

: "${E2E_BUILD:?E2E_BUILD names the build directory}"
CLI=$E2E_BUILD/src/cli/tarnwick-cli
WORK=$(mktemp -d /tmp/e2e.XXXXXX)
VENDOR="VORTAN  "
# Under a sanitizer build, leaks of third-party libraries are not the programs' own.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp"
passed=0
failed=0

# --- checks

# verdict NAME STATUS [DETAIL]: PASS when STATUS is 0, else FAIL with DETAIL indented below.
verdict() {
    if [ "$2" -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS: $1"
    else
        failed=$((failed + 1))
        echo "FAIL: $1"
        printf '%s\n' "${3:-}" | sed 's/^/    /'
    fi
}

# check NAME CMD...: passes when CMD succeeds.
check() {
    "${@:2}"
    verdict "$1" $? "failed: ${*:2}"
}

# expect_exit CODE NAME CMD...: runs CMD with its output in $WORK/out and $WORK/err and passes
# when it exits with CODE.
expect_exit() {
    "${@:3}" >"$WORK/out" 2>"$WORK/err"
    local status=$?
    verdict "$2" $((status != $1)) "exit status $status, expected $1, from: ${*:3}; its output ends:
$(tail -n 5 "$WORK/out"; tail -n 10 "$WORK/err")"
}

# output_has NAME FILE TEXT: passes when FILE contains TEXT (a fixed string).
output_has() {
    grep -qF -- "$3" "$2"
    verdict "$1" $? "no \"$3\" in $2, which ends:
$(tail -n 10 "$2")"
}

# wait_until SECONDS CMD...: true once CMD succeeds; false when the hang guard runs out first.
wait_until() {
    local deadline=$((SECONDS + $1))
    until "${@:2}"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# json FILE FILTER [JQ OPTIONS...]: true when FILTER holds for the JSON in FILE. jq 1.6 -e
# succeeds on an empty file, so an empty file (a crashed program's output) is refused first.
json() { [ -s "$1" ] && jq -e "${@:3}" "$2" "$1" >/dev/null; }

finish() {
    if [ "$failed" -gt 0 ]; then
        # What the kernel and the gadgets saw, for whoever reads the failure.
        dmesg | tail -n 40
        tail -n 15 "$WORK"/*/log 2>/dev/null
    fi
    cat "$WORK"/*/pid 2>/dev/null | xargs -r kill 2>/dev/null
    echo "$passed passed, $failed failed"
    exit $((failed > 0))
}

# --- kernel

# load_usb_stack [CONTROLLERS]: dummy_hcd with its controllers (dummy_udc.0, .1, ...), the
# gadget side (libcomposite, usb_f_fs, configfs) and the host side (usb-storage, sd, sg);
# usb-storage without its second of delay per attach, for a device that is ready at once.
load_usb_stack() {
    local module
    for module in "dummy_hcd num=${1:-1}" libcomposite usb_f_fs sd_mod sg "usb-storage delay_use=0"; do
        busybox modprobe $module || return 1
    done
    mountpoint -q /sys/kernel/config || mount -t configfs configfs /sys/kernel/config
}

# sg_with_vendor VENDOR: the /dev/sgN nodes whose SCSI vendor identification is VENDOR exactly.
sg_with_vendor() {
    local d vendor
    for d in /sys/class/scsi_generic/sg*; do
        # Read with its blanks: they are part of the identification.
        IFS= read -r vendor <"$d/device/vendor" 2>/dev/null || continue
        [ "$vendor" = "$1" ] && [ -e "/dev/${d##*/}" ] && echo "/dev/${d##*/}"
    done
}

no_programmer() { [ -z "$(sg_with_vendor "$VENDOR")" ]; }
has_sg_with_vendor() { [ -n "$(sg_with_vendor "$1")" ]; }

# wait_for_device VENDOR: waits until a SCSI generic node with that vendor is there; prints it.
wait_for_device() { wait_until 30 has_sg_with_vendor "$1" && sg_with_vendor "$1" | head -n 1; }

# --- the gadget

# gadget_start NAME [GADGET OPTIONS...]: starts tarnwick-gadget NAME with its flash, command log
# and control FIFO in $WORK/NAME, and waits until it says it is ready.
gadget_start() {
    local dir=$WORK/$1
    rm -rf "$dir" && mkdir -p "$dir"
    "$E2E_BUILD/src/emulator/gadget/tarnwick-gadget" --name "$1" --control "$dir/ctl" \
        --flash "$dir/flash.bin" --command-log "$dir/commands.log" "${@:2}" >"$dir/log" 2>&1 &
    echo $! >"$dir/pid"
    wait_until 30 grep -q 'ready' "$dir/log" || echo "gadget $1 did not start: $(cat "$dir/log")" >&2
}

acknowledged() { [ "$(grep -c "control: $2 done" "$WORK/$1/log")" -gt "$3" ]; }

# gadget_ctl NAME COMMAND: sends unplug, plug, dump, clear-log or quit and waits until the gadget
# has carried it out.
gadget_ctl() {
    local before
    before=$(grep -c "control: $2 done" "$WORK/$1/log")
    echo "$2" >"$WORK/$1/ctl"
    wait_until 30 acknowledged "$1" "$2" "$before" || echo "gadget $1 did not carry out '$2'" >&2
}

# programmer [GADGET OPTIONS...]: starts gadget prog and waits until the kernel has its node.
programmer() { gadget_start prog "$@" && wait_for_device "$VENDOR" >/dev/null; }

# gadget_stop NAME...: ends the gadgets and checks each one's exit status (3 means the host sent
# a vendor command that breaks the command tables), then waits until no programmer's node is
# left. All are told to quit first: the wait would not end while one is still plugged in.
gadget_stop() {
    local name status
    for name in "$@"; do echo quit >"$WORK/$name/ctl"; done
    for name in "$@"; do
        wait "$(cat "$WORK/$name/pid")"
        status=$?
        verdict "the host sent only well-formed vendor commands to gadget $name" $status \
            "gadget exit status $status: $(tail -n 30 "$WORK/$name/log")"
        rm -f "$WORK/$name/pid"
    done
    wait_until 30 no_programmer
}

# commands_are SENTENCE EXPECTED-LOG ARGUMENTS...: the programmer of gadget prog received exactly
# the commands tarnwick-e2e-expected-log works out for the job; the log starts afresh after.
commands_are() {
    gadget_ctl prog dump
    "$E2E_BUILD/tests/e2e/tarnwick-e2e-expected-log" "${@:2}" >"$WORK/expected"
    cmp -s "$WORK/expected" "$WORK/prog/commands.log"
    verdict "$1" $? "$(diff "$WORK/expected" "$WORK/prog/commands.log" | head -n 12)"
    gadget_ctl prog clear-log
}

# holds_image NAME IMAGE SENTENCE: dumps gadget NAME and checks that its flash starts with IMAGE
# and is erased (0xff) after it.
holds_image() {
    local size
    gadget_ctl "$1" dump
    size=$(stat -c %s "$2")
    cmp -s -n "$size" "$2" "$WORK/$1/flash.bin" &&
        [ -z "$(tail -c +$((size + 1)) "$WORK/$1/flash.bin" | tr -d '\377' | head -c 1)" ]
    verdict "$3" $? "the flash of gadget $1 does not hold $2 alone"
}
