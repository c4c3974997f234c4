# Sourced by the e2e cases, which run as root inside the QEMU guest (tests/e2e/vm/run-in-guest).
# Gives them the kernel modules, the gadget (tarnwick-gadget) with its control FIFO, waits with
# hang guards, and checks that count and report: each check prints PASS or FAIL with a
# sentence of behaviour, and `finish` ends the case with "N passed, M failed".
set -u

: "${E2E_BUILD:?E2E_BUILD names the build directory}
"
CLI=$E2E_BUILD/src/cli/tarnwick-cli
GADGET=$E2E_BUILD/src/emulator/gadget/tarnwick-gadget
EXPECTED_LOG=$E2E_BUILD/tests/e2e/tarnwick-e2e-expected-log
WORK=$(mktemp -d /tmp/e2e.XXXXXX)
VENDOR="VORTAN  "
# Under a sanitizer build, leaks of third-party libraries are not the programs' own.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/lsan.supp"

passed=0
failed=0
last=0

pass() {
    passed=$((passed + 1))
    echo "PASS: $1"
}

# fail NAME [DETAIL]
fail() {
    failed=$((failed + 1))
    echo "FAIL: $1"
    if [ -n "${2:-}" ]; then
        printf '%s\n' "$2" | sed 's/^/    /'
    fi
}

# check NAME CMD...: passes when CMD succeeds.
check() {
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name" "failed: $*"; fi
}

# run CMD...: runs CMD with its output in $WORK/out and $WORK/err and its status in $last.
run() {
    "$@" >"$WORK/out" 2>"$WORK/err"
    last=$?
}

# expect_exit CODE NAME CMD...: runs CMD (as `run`) and passes when it exits with CODE.
expect_exit() {
    local code=$1 name=$2
    shift 2
    run "$@"
    if [ "$last" -eq "$code" ]; then
        pass "$name"
    else
        fail "$name" "exit status $last, expected $code, from: $*
--- stdout (end)
$(tail -n 5 "$WORK/out")
--- stderr (end)
$(tail -n 10 "$WORK/err")"
    fi
}

# output_has NAME FILE TEXT: passes when FILE contains TEXT (a fixed string).
output_has() {
    if grep -qF -- "$3" "$2"; then
        pass "$1"
    else
        fail "$1" "no \"$3\" in $2:
$(tail -n 10 "$2")"
    fi
}

# same_lines NAME EXPECTED ACTUAL: passes when the two files are equal, else shows the first
# differences.
same_lines() {
    if cmp -s "$2" "$3"; then
        pass "$1"
    else
        fail "$1" "$(diff "$2" "$3" | head -n 12)
($(wc -l <"$2") lines expected, $(wc -l <"$3") received)"
    fi
}

# wait_until SECONDS CMD...: true once CMD succeeds; false when the hang guard runs out first.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    while ! "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            return 1
        fi
        sleep 0.05
    done
}

finish() {
    local dir
    if [ "$failed" -gt 0 ]; then
        # What the kernel and the gadgets saw, for whoever reads the failure.
        echo "--- kernel log (end)"
        dmesg | tail -n 40
        for dir in "$WORK"/*/; do
            [ -f "$dir/log" ] || continue
            echo "--- gadget $(basename "$dir") log (end)"
            tail -n 15 "$dir/log"
        done
    fi
    for pidfile in "$WORK"/*/pid; do
        [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
    done
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit $?
}

# --- kernel

# load_usb_stack [CONTROLLERS]: dummy_hcd with its controllers (dummy_udc.0, .1, ...), the
# gadget side (libcomposite, usb_f_fs, configfs) and the host side (usb-storage, sd, sg).
load_usb_stack() {
    busybox modprobe dummy_hcd num="${1:-1}" &&
        busybox modprobe libcomposite &&
        busybox modprobe usb_f_fs &&
        busybox modprobe sd_mod &&
        busybox modprobe sg &&
        # A second per attach otherwise, waiting for a device that is ready at once.
        busybox modprobe usb-storage delay_use=0 || return 1
    mountpoint -q /sys/kernel/config || mount -t configfs configfs /sys/kernel/config
}

sg_count() {
    local nodes
    nodes=(/sys/class/scsi_generic/sg*)
    [ -e "${nodes[0]}" ] || nodes=()
    echo "${#nodes[@]}"
}

sg_count_at_least() {
    [ "$(sg_count)" -ge "$1" ]
}

# load_scsi_debug HOSTS: that many RAM-backed SCSI disks that are not on USB (vendor "Linux   "),
# each with its sg node; waits until they are all there.
load_scsi_debug() {
    local before
    busybox modprobe sg || return 1
    before=$(sg_count)
    busybox modprobe scsi_debug add_host="$1" || return 1
    wait_until 30 sg_count_at_least $((before + $1))
}

# sg_with_vendor VENDOR: the /dev/sgN nodes whose SCSI vendor identification is VENDOR exactly.
sg_with_vendor() {
    local d vendor
    for d in /sys/class/scsi_generic/sg*; do
        [ -e "$d/device/vendor" ] || continue
        # Read with its blanks: they are part of the identification.
        IFS= read -r vendor <"$d/device/vendor" 2>/dev/null || continue
        if [ "$vendor" = "$1" ] && [ -e "/dev/${d##*/}" ]; then
            echo "/dev/${d##*/}"
        fi
    done
}

has_sg_with_vendor() {
    [ -n "$(sg_with_vendor "$1")" ]
}

no_sg_with_vendor() {
    [ -z "$(sg_with_vendor "$1")" ]
}

# wait_for_device VENDOR: waits until a SCSI generic node with that vendor is there; prints it.
wait_for_device() {
    wait_until 30 has_sg_with_vendor "$1" && sg_with_vendor "$1" | head -n 1
}

# The kernel's own answer to "is this sg node on USB": its sysfs path runs through a USB device.
on_usb_in_sysfs() {
    local path
    path=$(readlink -f "/sys/class/scsi_generic/${1##*/}")
    case $path in
        */usb[0-9]*/[0-9]*-[0-9]*/*) return 0 ;;
        *) return 1 ;;
    esac
}

# --- the gadget

# gadget_start NAME [GADGET OPTIONS...]: starts tarnwick-gadget NAME with its flash, command log
# and control FIFO in $WORK/NAME, and waits until it says it is ready.
gadget_start() {
    local name=$1 dir=$WORK/$1
    shift
    rm -rf "$dir"
    mkdir -p "$dir"
    "$GADGET" --name "$name" --control "$dir/ctl" --flash "$dir/flash.bin" \
        --command-log "$dir/commands.log" "$@" >"$dir/log" 2>&1 &
    echo $! >"$dir/pid"
    if ! wait_until 30 grep -q 'ready' "$dir/log"; then
        echo "gadget $name did not start:" >&2
        cat "$dir/log" >&2
        return 1
    fi
}

acknowledged() {
    [ "$(grep -c "control: $2 done" "$WORK/$1/log")" -gt "$3" ]
}

# gadget_ctl NAME COMMAND: sends unplug, plug, dump, clear-log or quit and waits until the gadget
# has carried it out.
gadget_ctl() {
    local dir=$WORK/$1 before
    before=$(grep -c "control: $2 done" "$dir/log")
    echo "$2" >"$dir/ctl"
    if ! wait_until 30 acknowledged "$1" "$2" "$before"; then
        echo "gadget $1 did not carry out '$2':" >&2
        tail -n 5 "$dir/log" >&2
        return 1
    fi
}

# gadget_stop NAME: ends the gadget and checks its exit status: 3 means the host sent a vendor
# command that breaks the command tables.
gadget_stop() {
    local dir=$WORK/$1 pid status
    pid=$(cat "$dir/pid")
    echo quit >"$dir/ctl"
    wait "$pid"
    status=$?
    rm -f "$dir/pid"
    if [ "$status" -eq 0 ]; then
        pass "the host sent only well-formed vendor commands to gadget $1"
    else
        fail "the host sent only well-formed vendor commands to gadget $1" \
            "gadget exit status $status:
$(tail -n 30 "$dir/log")"
    fi
}

# flash_holds NAME IMAGE: the gadget's flash dump starts with IMAGE and is erased (0xff) after it.
flash_holds() {
    local flash=$WORK/$1/flash.bin size
    size=$(stat -c %s "$2")
    cmp -s -n "$size" "$2" "$flash" || return 1
    [ -z "$(tail -c +$((size + 1)) "$flash" | tr -d '\377' | head -c 1)" ]
}

# random_image FILE BYTES
random_image() {
    head -c "$2" /dev/urandom >"$1"
}

# json FILE FILTER [JQ OPTIONS...]: true when FILTER holds for the JSON in FILE. jq 1.6 -e
# succeeds on an empty file, so an empty file (a crashed program's output) is refused first.
json() {
    local file=$1 filter=$2
    shift 2
    [ -s "$file" ] && jq -e "$@" "$filter" "$file" >/dev/null
}
