# A bench of programmers written at once with write --all, --count and station: each on its own
# controller, each flash left holding the image; a fault or an unplug on one ends that one's job
# alone, with exit 13.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

programmers_present() { [ "$(sg_with_vendor "$VENDOR" | wc -l)" -eq "$1" ]; }

load_usb_stack 4
head -c 262144 /dev/urandom >"$WORK/image.bin"  # 4 blocks, 512 pages

# Four at once, one of which cannot program a page: it fails, the other three are written and
# verified, and the log keeps four records, each with the image's digest.
gadget_start good0 --udc dummy_udc.0
gadget_start good1 --udc dummy_udc.1
gadget_start good2 --udc dummy_udc.2
gadget_start bad --udc dummy_udc.3 --emulate-fail-page 0x10400
check "four programmers attach, one on each controller" wait_until 30 programmers_present 4
expect_exit 13 "write --all --verify with a page that never programs on one of four exits 13" \
    "$CLI" write "$WORK/image.bin" --all --verify --log "$WORK/jobs.log"
for n in 0 1 2; do
    holds_image "good$n" "$WORK/image.bin" "programmer good$n's flash holds the image all the same"
    check "the table gives good$n's serial, its success and its verification" \
        grep -qE "TW-good$n +success +256.0 KiB .* yes$" "$WORK/out"
done
check "the table gives the faulty programmer's write failure" \
    grep -qE "TW-bad +write failed" "$WORK/out"
check "the lines during the job are tagged with the programmer's USB port path" \
    grep -qE '^\[[0-9]+-[0-9.]+\] progress' "$WORK/err"
sha=$(sha256sum "$WORK/image.bin" | cut -d' ' -f1)
check "--log keeps one record per programmer, with its ending and the image's SHA-256" \
    json "$WORK/jobs.log" 'map([.programmer.serial, .exit, .sha256 == $sha]) | sort ==
     [["TW-bad", 6, true], ["TW-good0", 0, true], ["TW-good1", 0, true], ["TW-good2", 0, true]]' \
    --arg sha "$sha" -s
gadget_stop good0 good1 good2 bad

# --count 2: waits for the second programmer, plugged in later; it falls off the bus in the
# middle of its write, which ends its job alone.
gadget_start first --udc dummy_udc.0
gadget_start second --udc dummy_udc.1 --unplugged --emulate-drop-after 300
wait_until 30 programmers_present 1
"$CLI" write "$WORK/image.bin" --count 2 --wait=120 --json >"$WORK/count.out" 2>"$WORK/count.err" &
writer=$!
wait_until 30 grep -q 'waiting for 2 programmers, 1 present' "$WORK/count.err"
check "write --count 2 with one programmer present waits" kill -0 "$writer"
gadget_ctl second plug
wait "$writer"
check "the second plugged in, both are written and the one unplugged mid-write fails (exit 13, got $?)" [ $? -eq 13 ]
holds_image first "$WORK/image.bin" "the programmer that stayed holds the image"
check "the JSON ends each programmer's job with its own ending, then sums up" \
    json "$WORK/count.out" -s '(map(select(.event == "end")) | map(.ending) | sort ==
        ["success", "write failed"]) and (last == {"event": "summary", "exit": 13,
        "written": 1, "failed": 1})'
gadget_stop first second

# A station: programmers plugged in one after the other are each written once; one plugged in
# again is written again; Ctrl-C ends it with the totals.
written_lines() { [ "$(grep -c 'written, unplug it for the next' "$WORK/station.err")" -eq "$1" ]; }
gadget_start a --udc dummy_udc.0
"$CLI" station "$WORK/image.bin" --log "$WORK/station.log" >"$WORK/station.out" \
    2>"$WORK/station.err" &
station=$!
check "the station writes the programmer plugged in" wait_until 120 written_lines 1
gadget_start b --udc dummy_udc.1
check "and the second, plugged in later" wait_until 120 written_lines 2
sleep 3  # two more looks: neither is written again while it stays plugged in
check "each is written once while it stays" written_lines 2
gadget_ctl a unplug
wait_until 30 grep -q 'unplugged, waiting' "$WORK/station.err"
gadget_ctl a plug
check "the one plugged in again is written again" wait_until 120 written_lines 3
kill -INT "$station"
wait "$station"
check "Ctrl-C ends the station with exit 0 when nothing failed (got $?)" [ $? -eq 0 ]
output_has "it prints the totals" "$WORK/station.out" "station: 3 written, 0 failed"
check "the log holds a record of every job" json "$WORK/station.log" -s \
    'map(.programmer.serial) | sort == ["TW-a", "TW-a", "TW-b"]'
holds_image a "$WORK/image.bin" "the station's programmer holds the image"
gadget_stop a b
finish
