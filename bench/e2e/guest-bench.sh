# Runs inside the guest (bench/e2e/run). Every figure is a median of ROUNDS runs, and each ratio
# the median of the rounds' own ratios: the programs of a round run one after the other, so a
# slow spell of the emulated machine (a run here spreads by 10 % and more) weighs on both sides
# of a ratio alike. For tarnwick-cli and the bare SG_IO program the time is the wall time of the
# whole process; for the dialog the job's own time from the click on the update button to its
# end (as the program prints it: a dialog's start-up is no part of a write), set against the
# command line's own job time (the "in N s" of its "written:" line) so that both sides count the
# same thing. Every run writes the whole image; a write erases the blocks it needs first, so the
# runs do not depend on each other.
# Then four programmers, each on its own controller: write --all against four bare loops
# run at once, the floor of four programmers sharing the guest's CPUs.
. "$(dirname "${BASH_SOURCE[0]}")/../../tests/e2e/lib/guest.sh"
BARE=$E2E_BUILD/bench/e2e/tarnwick-bench-bare-sg
DIALOG=$E2E_BUILD/bench/e2e/tarnwick-bench-dialog-write
rounds=${BENCH_ROUNDS:-3}

fail_bench() {
    echo "bench: $1 failed:" >&2
    cat "$WORK/bench.err" >&2
    exit 1
}

seconds() {  # seconds CMD...: wall time of CMD, which must succeed; its output in bench.out
    local start=$EPOCHREALTIME
    "$@" >"$WORK/bench.out" 2>"$WORK/bench.err" || fail_bench "$*"
    awk -v a="$EPOCHREALTIME" -v b="$start" 'BEGIN { print a - b }'
}

all_seconds() {  # all_seconds IMAGE DEVICE...: wall time of one bare loop per device, at once
    local start=$EPOCHREALTIME pids=() dev
    : >"$WORK/bench.err"
    for dev in "${@:2}"; do
        "$BARE" "$dev" "$1" >/dev/null 2>>"$WORK/bench.err" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || fail_bench "a bare loop of four"; done
    awk -v a="$EPOCHREALTIME" -v b="$start" 'BEGIN { print a - b }'
}

cli_job_seconds() {  # the job time in the last tarnwick-cli write's "written: ... in N s" line
    sed -n 's/^written: .* in \([0-9.]*\) s,.*/\1/p' "$WORK/bench.out"
}

dialog_seconds() {  # the job time the dialog program prints
    DISPLAY=:7 QT_QPA_PLATFORM=xcb "$DIALOG" "$1" 2>"$WORK/bench.err" || fail_bench "the dialog"
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

ratios() {  # ratios A B: each round's A over its B, one per line
    paste -d ' ' "$1" "$2" | awk '{ printf "%.4f\n", $1 / $2 }'
}

runs() { tr '\n' ' ' <"$1"; }

random_image() { head -c "$2" /dev/urandom >"$1"; }

programmers_present() { [ "$(sg_with_vendor "$VENDOR" | wc -l)" -eq "$1" ]; }

load_usb_stack 4
gadget_start prog --udc dummy_udc.0
dev=$(wait_for_device "$VENDOR")
if [ -x "$DIALOG" ]; then
    Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    wait_until 30 test -e /tmp/.X11-unix/X7 || exit 1
fi

echo "One programmer:"
echo
echo "| image | bare SG_IO | tarnwick-cli write | ratio | cli (job) | dialog (job) | ratio |"
echo "|---|---|---|---|---|---|---|"
for size in 1 4; do
    random_image "$WORK/image.bin" $((size * 1048576))
    for t in cli clijob bare dialog; do : >"$WORK/$t.t"; done
    # Each round starts with another program, so that a place in the round (right after the
    # heavy dialog run, say) favours or burdens none of them.
    order=(cli bare dialog)
    for r in $(seq "$rounds"); do
        for program in "${order[@]}"; do
            case $program in
                cli)
                    seconds "$CLI" write "$WORK/image.bin" >>"$WORK/cli.t"
                    cli_job_seconds >>"$WORK/clijob.t"
                    ;;
                bare) seconds "$BARE" "$dev" "$WORK/image.bin" >>"$WORK/bare.t" ;;
                dialog) [ ! -x "$DIALOG" ] || dialog_seconds "$WORK/image.bin" >>"$WORK/dialog.t" ;;
            esac
        done
        order=("${order[@]:1}" "${order[0]}")
    done
    dialog="n/a"
    dialog_ratio="n/a"
    if [ -x "$DIALOG" ]; then
        dialog=$(printf '%.2f s' "$(median <"$WORK/dialog.t")")
        dialog_ratio=$(ratios "$WORK/dialog.t" "$WORK/clijob.t" | median)
    fi
    printf '| %d MiB | %.2f s | %.2f s | %.2f | %.2f s | %s | %.2f |\n' "$size" \
        "$(median <"$WORK/bare.t")" "$(median <"$WORK/cli.t")" \
        "$(ratios "$WORK/cli.t" "$WORK/bare.t" | median)" "$(median <"$WORK/clijob.t")" \
        "$dialog" "$dialog_ratio"
    {
        echo "$size MiB, every run in seconds:"
        echo "  tarnwick-cli write: $(runs "$WORK/cli.t")"
        echo "  cli (job):          $(runs "$WORK/clijob.t")"
        echo "  bare SG_IO:         $(runs "$WORK/bare.t")"
        echo "  dialog (job):       $(runs "$WORK/dialog.t")"
    } >>"$WORK/runs.txt"
done
holds_image prog "$WORK/image.bin" "after the last run the flash holds the image" >&2
gadget_stop prog >/dev/null

# Four programmers: write --all against four bare loops at once.
for n in 0 1 2 3; do
    gadget_start "p$n" --udc "dummy_udc.$n"
done
wait_until 30 programmers_present 4 || fail_bench "four programmers attaching"
mapfile -t devices < <(sg_with_vendor "$VENDOR")
random_image "$WORK/image.bin" 1048576
: >"$WORK/all.t"
: >"$WORK/bare4.t"
order=(all bare4)
for r in $(seq "$rounds"); do
    for program in "${order[@]}"; do
        case $program in
            all) seconds "$CLI" write "$WORK/image.bin" --all >>"$WORK/all.t" ;;
            bare4) all_seconds "$WORK/image.bin" "${devices[@]}" >>"$WORK/bare4.t" ;;
        esac
    done
    order=("${order[@]:1}" "${order[0]}")
done
echo
echo "Four programmers, 1 MiB each:"
echo
echo "| four bare SG_IO loops at once | tarnwick-cli write --all | ratio |"
echo "|---|---|---|"
printf '| %.2f s | %.2f s | %.2f |\n' "$(median <"$WORK/bare4.t")" "$(median <"$WORK/all.t")" \
    "$(ratios "$WORK/all.t" "$WORK/bare4.t" | median)"
{
    echo "four programmers, 1 MiB each, every run in seconds:"
    echo "  tarnwick-cli write --all: $(runs "$WORK/all.t")"
    echo "  four bare SG_IO loops:    $(runs "$WORK/bare4.t")"
} >>"$WORK/runs.txt"
for n in 0 1 2 3; do
    holds_image "p$n" "$WORK/image.bin" "after the last run the flash of p$n holds the image" >&2
done
gadget_stop p0 p1 p2 p3 >/dev/null
echo
cat "$WORK/runs.txt"
[ "$failed" -eq 0 ] || exit 1
