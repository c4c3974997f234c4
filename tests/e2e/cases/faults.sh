# Each way a write can go wrong, injected into the gadget's programmer: a page that is sent again
# and then confirmed ends in success with the image in the flash; one that never is ends with the
# exit code for that ending. Either way the programmer received exactly the commands the job
# must send up to that point.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

load_usb_stack
random_image "$WORK/image.bin" 262144  # 4 blocks, 512 pages

# fault_case CODE SENTENCE "GADGET OPTIONS" "EXPECTED-LOG OPTIONS"
fault_case() {
    local code=$1 sentence=$2 gadget_options=$3 log_options=$4
    # shellcheck disable=SC2086
    gadget_start prog $gadget_options
    wait_for_device "$VENDOR" >/dev/null
    expect_exit "$code" "$sentence" "$CLI" write "$WORK/image.bin"
    cp "$WORK/err" "$WORK/case.err"
    gadget_ctl prog dump
    # shellcheck disable=SC2086
    "$EXPECTED_LOG" write "$WORK/image.bin" $log_options >"$WORK/expected"
    same_lines "$sentence: the programmer received exactly the commands up to that point" \
        "$WORK/expected" "$WORK/prog/commands.log"
    gadget_stop prog
    wait_until 30 no_sg_with_vendor "$VENDOR"
}

fault_case 0 "a page asked for 3 more times, a page whose write request fails 10 times and a page \
whose status reply comes back cut to 2 bytes twice are each sent again, and the write succeeds" \
    "--emulate-resend 0x200:3 --emulate-fail-write-request 0x400:10 --emulate-short-status 0x600:2" \
    "--resend 0x200:3 --fail-write-request 0x400:10 --short-status 0x600:2"
check "after the pages sent again the flash holds the image" flash_holds prog "$WORK/image.bin"

fault_case 6 "a page still refused after 10 resends ends the write with exit 6 (write failed)" \
    "--emulate-resend 0x400:11" "--resend 0x400:11"
fault_case 6 "a page whose write request fails 11 times ends the write with exit 6" \
    "--emulate-fail-write-request 0x400:11" "--fail-write-request 0x400:11"
output_has "the kernel reported the failed write request as CHECK CONDITION" "$WORK/case.err" \
    "CHECK CONDITION"
fault_case 6 "a page whose status reply is cut short 11 times ends the write with exit 6" \
    "--emulate-short-status 0x400:11" "--short-status 0x400:11"
output_has "the kernel reported the status reply as a short transfer with GOOD status" \
    "$WORK/case.err" "short transfer, 2 of 16 bytes moved"
fault_case 6 "a page that never programs ends the write with exit 6 (write failed)" \
    "--emulate-fail-page 0x10400" "--fail-page 0x10400"
output_has "the failed write names what failed" "$WORK/case.err" "tarnwick-cli:"

fault_case 5 "an erase the programmer refuses ends the job with exit 5 (erase failed)" \
    "--emulate-fail-erase 2" "--fail-erase 2"

# The link query left unanswered: no data and no status come back, SG_IO runs into its
# 10-second time-out, and the kernel resets the device.
gadget_start prog --emulate-mute-link
wait_for_device "$VENDOR" >/dev/null
expect_exit 3 "a link query left unanswered ends the job with exit 3 (not answering)" \
    "$CLI" write "$WORK/image.bin"
output_has "the gadget really left the query unanswered" "$WORK/prog/log" "unanswered"
gadget_ctl prog dump
"$EXPECTED_LOG" write "$WORK/image.bin" | head -n 1 >"$WORK/expected"
same_lines "after an unanswered link query the job sends nothing more" \
    "$WORK/expected" "$WORK/prog/commands.log"
gadget_stop prog

finish
