# Plugging and unplugging while the command line works: a write that loses its programmer
# fails, a replugged programmer is found again, and write --wait follows the kernel's uevents.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

load_usb_stack
head -c 1048576 /dev/urandom >"$WORK/image.bin"
programmer

# Unplugged by the controller in the middle of the write (once a fifth of it is done).
"$CLI" write "$WORK/image.bin" >"$WORK/write.out" 2>"$WORK/write.err" &
writer=$!
wait_until 120 grep -q 'progress  20%' "$WORK/write.err" && gadget_ctl prog unplug
wait "$writer"
check "a write whose programmer is unplugged in the middle ends as a write failure (exit 6, got $?)" [ $? -eq 6 ]
check "that write never reports the image written" sh -c "! grep -q '^written:' '$WORK/write.out'"
check "the unplug removes the programmer's node" wait_until 30 no_programmer

gadget_ctl prog plug
dev=$(wait_for_device "$VENDOR")
expect_exit 0 "after the replug list finds the programmer again" "$CLI" list --json
check "list names the replugged programmer's node ($dev)" json "$WORK/out" '.current.name == $dev' --arg dev "$dev"

# The programmer falls off the bus on its own after 100 commands (the gadget unplugs itself).
gadget_stop prog
programmer --emulate-drop-after 100
expect_exit 6 "a programmer that falls off the bus during the write ends it as a write failure" \
    "$CLI" write "$WORK/image.bin"
output_has "the gadget went off the bus by itself" "$WORK/prog/log" "fell off the bus"

# write --wait started before the programmer is plugged in.
gadget_ctl prog unplug
wait_until 30 no_programmer
gadget_ctl prog clear-log
"$CLI" write "$WORK/image.bin" --wait=120 >"$WORK/wait.out" 2>"$WORK/wait.err" &
writer=$!
wait_until 30 grep -q 'waiting for a programmer' "$WORK/wait.err"
check "write --wait without a programmer waits" kill -0 "$writer"
check "and has sent nothing yet" test ! -s "$WORK/prog/commands.log"
gadget_ctl prog plug
wait "$writer"
check "write --wait proceeds once the programmer is plugged in, and succeeds" [ $? -eq 0 ]
holds_image prog "$WORK/image.bin" "the flash then holds the image"
gadget_stop prog
finish
