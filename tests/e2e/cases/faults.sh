# Each way a write can go wrong, injected into the gadget's programmer: a page that is sent again
# and then confirmed ends in success with the image in the flash; one that never is ends with the
# exit code for that ending. Either way the programmer received exactly the commands the job
# must send up to that point.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

load_usb_stack
head -c 262144 /dev/urandom >"$WORK/image.bin"  # 4 blocks, 512 pages

# Each case: a write against a programmer with FAULTS (the gadget's --emulate-* options without
# their prefix, which tarnwick-e2e-expected-log takes as they are) exits with CODE, says TEXT on
# standard error, and sends the commands the faults call for; a write that succeeds leaves the
# image in the flash.
while IFS='|' read -r code sentence faults text <&3; do
    # shellcheck disable=SC2086
    programmer ${faults//--/--emulate-}
    expect_exit "$code" "$sentence" "$CLI" write "$WORK/image.bin"
    [ -z "$text" ] || output_has "$sentence: the write says \"$text\"" "$WORK/err" "$text"
    # shellcheck disable=SC2086
    commands_are "$sentence: the programmer received exactly the commands up to that point" \
        write "$WORK/image.bin" $faults
    [ "$code" -ne 0 ] || holds_image prog "$WORK/image.bin" "after the pages sent again the flash holds the image"
    gadget_stop prog
done 3<<'CASES'
0|a page asked for 3 more times, a page whose write request fails 10 times and a page whose status reply comes back cut to 2 bytes twice are each sent again, and the write succeeds|--resend 0x200:3 --fail-write-request 0x400:10 --short-status 0x600:2|
6|a page still refused after 10 resends ends the write with exit 6 (write failed)|--resend 0x400:11|
6|a page whose write request fails 11 times ends the write with exit 6, the kernel reporting CHECK CONDITION|--fail-write-request 0x400:11|CHECK CONDITION
6|a page whose status reply is cut short 11 times ends the write with exit 6, a short transfer with GOOD status|--short-status 0x400:11|short transfer, 2 of 16 bytes moved
6|a page that never programs ends the write with exit 6 (write failed), naming what failed|--fail-page 0x10400|tarnwick-cli:
5|an erase the programmer refuses ends the job with exit 5 (erase failed)|--fail-erase 2|
CASES

# The link query left unanswered: no data and no status come back, SG_IO runs into its
# 10-second time-out, and the kernel resets the device; the job sends nothing more.
programmer --emulate-mute-link
expect_exit 3 "a link query left unanswered ends the job with exit 3 (not answering)" \
    "$CLI" write "$WORK/image.bin"
output_has "the gadget really left the query unanswered" "$WORK/prog/log" "unanswered"
# A read of no pages is the link query alone.
commands_are "after an unanswered link query the job sends nothing more" read 0
gadget_stop prog
finish
