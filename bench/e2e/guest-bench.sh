# Runs inside the guest (bench/e2e/run). Each figure is the median of ROUNDS runs: for
# tarnwick-cli and the bare SG_IO program the wall time of the whole process; for the dialog
# the job's own time from the click on the update button to its end (as the program prints it:
# a dialog's start-up is no part of a write), set against the command line's own job time (the
# "in N s" of its "written:" line) so that both sides count the same thing. Every run writes
# the whole image; a write erases the blocks it needs first, so the runs do not depend on each
# other.
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

cli_job_seconds() {  # the job time in the last tarnwick-cli write's "written: ... in N s" line
    sed -n 's/^written: .* in \([0-9.]*\) s,.*/\1/p' "$WORK/bench.out"
}

dialog_seconds() {  # the job time the dialog program prints
    DISPLAY=:7 QT_QPA_PLATFORM=xcb "$DIALOG" "$1" 2>"$WORK/bench.err" || fail_bench "the dialog"
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

random_image() { head -c "$2" /dev/urandom >"$1"; }

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

load_usb_stack
gadget_start prog
dev=$(wait_for_device "$VENDOR")
if [ -x "$DIALOG" ]; then
    Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    wait_until 30 test -e /tmp/.X11-unix/X7 || exit 1
fi

echo "| image | bare SG_IO | tarnwick-cli write | ratio | cli (job) | dialog (job) | ratio |"
echo "|---|---|---|---|---|---|---|"
for size in 1 4; do
    random_image "$WORK/image.bin" $((size * 1048576))
    # Interleaved, so a change in the host's load between rounds hits every program alike.
    : >"$WORK/cli.t"
    : >"$WORK/clijob.t"
    : >"$WORK/bare.t"
    : >"$WORK/dialog.t"
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
    cli=$(median <"$WORK/cli.t")
    clijob=$(median <"$WORK/clijob.t")
    bare=$(median <"$WORK/bare.t")
    dialog="n/a"
    dialog_ratio="n/a"
    if [ -x "$DIALOG" ]; then
        job=$(median <"$WORK/dialog.t")
        dialog=$(printf '%.2f s' "$job")
        dialog_ratio=$(ratio "$job" "$clijob")
    fi
    printf '| %d MiB | %.2f s | %.2f s | %s | %.2f s | %s | %s |\n' "$size" "$bare" "$cli" \
        "$(ratio "$cli" "$bare")" "$clijob" "$dialog" "$dialog_ratio"
    {
        echo "$size MiB, every run in seconds:"
        echo "  tarnwick-cli write: $(tr '\n' ' ' <"$WORK/cli.t")"
        echo "  cli (job):          $(tr '\n' ' ' <"$WORK/clijob.t")"
        echo "  bare SG_IO:         $(tr '\n' ' ' <"$WORK/bare.t")"
        echo "  dialog (job):       $(tr '\n' ' ' <"$WORK/dialog.t")"
    } >>"$WORK/runs.txt"
done
echo
cat "$WORK/runs.txt"
holds_image prog "$WORK/image.bin" "after the last run the flash holds the image" >&2
[ "$failed" -eq 0 ] || exit 1
gadget_stop prog >/dev/null
