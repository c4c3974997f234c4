# Writing, verifying, reading back and the transfer test, through SG_IO on the /dev/sg0 node
# the kernel made for the gadget.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

load_usb_stack
programmer

# The transfer test writes without erasing, so it runs first, on the fresh (erased) flash.
expect_exit 0 "transfer-test with a bound of 64 KiB ends without a bad cycle" \
    "$CLI" transfer-test --bytes 65536 --json
check "transfer-test --json starts, ends with the 32 cycles counted, and its last progress is the whole bound" \
    json "$WORK/out" -s '.[0].event == "start" and .[0].file == null and
        (map(select(.event == "progress")) | last | .phase == "transfer" and .done == 65536) and
        (last | .event == "end" and .exit == 0 and .cycles == 32 and .bad_write_status == 0 and
            .read_back_different == 0)'
output_has "with --json the person's result line goes to standard error" "$WORK/err" "transfer test: 32 cycles"
commands_are "the transfer test sends the link query, then page write, write status and page read \
for each 2048-byte block, and stops at its bound" transfer-test 65536

head -c 1048576 /dev/urandom >"$WORK/image.bin"
expect_exit 0 "write --verify of a 1 MiB image ends in success" "$CLI" write "$WORK/image.bin" --verify \
    --log "$WORK/jobs.log"
output_has "write --verify reports the flash verified" "$WORK/out" "verified: the flash holds the file byte for byte"
check "write --log leaves one JSON line: success, verified, the image's SHA-256 and the programmer's node" \
    test "$(jq -sr 'length, .[0].ending, .[0].verified, .[0].sha256, .[0].programmer.name' \
        "$WORK/jobs.log" | paste -sd ' ')" = \
    "1 success true $(sha256sum <"$WORK/image.bin" | cut -d ' ' -f 1) $(sg_with_vendor "$VENDOR" | head -n 1)"
commands_are "write --verify sends the link query, erases 16 blocks, writes 2048 pages each followed \
by a write-status query, then reads the 2048 pages back" write "$WORK/image.bin" --verify
holds_image prog "$WORK/image.bin" \
    "after the write the programmer's flash holds the image, and nothing beyond it is touched"

expect_exit 0 "read of 1 MiB ends in success" "$CLI" read "$WORK/back.bin" --length 1048576
check "read returns the flash: the file is the image" cmp -s "$WORK/image.bin" "$WORK/back.bin"
commands_are "read sends the link query and then one page read per 512 bytes" read 1048576
expect_exit 0 "read of 1000 bytes ends in success" "$CLI" read "$WORK/short.bin" --length 1000
check "read rounds a length down to whole pages: 1000 bytes give the first 512 of the flash" \
    cmp -s "$WORK/short.bin" <(head -c 512 "$WORK/image.bin")
gadget_stop prog
finish
