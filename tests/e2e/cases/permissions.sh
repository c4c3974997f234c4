# A user without root: the SCSI generic node needs only read-write permission, which the udev
# rule grants (group and mode). No udev daemon runs in the guest, so the rule's effect is put
# on the node by hand, with the group and mode read from the rule itself.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

rule=${E2E_SOURCE:?E2E_SOURCE names the source directory}/res/udev/70-tarnwick-programmer.rules
group=$(grep -o 'GROUP="[^"]*"' "$rule" | head -n 1 | cut -d'"' -f2)
mode=$(grep -o 'MODE="[^"]*"' "$rule" | head -n 1 | cut -d'"' -f2)
gid=$(getent group "$group" | cut -d: -f3)
check "the udev rule names a group ($group, gid $gid) and a mode ($mode)" \
    test -n "$group" -a -n "$gid" -a -n "$mode"

# The unprivileged user nobody, without extra groups and as a member of the rule's group.
nobody=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups --)
member=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --groups="$gid" --)

load_usb_stack
programmer
dev=$(sg_with_vendor "$VENDOR")
chmod 755 "$WORK"
head -c 131072 /dev/urandom >"$WORK/image.bin"
chmod 644 "$WORK/image.bin"

# As devtmpfs made it: root's alone.
expect_exit 9 "without the rule's permissions a user's write finds no programmer (exit 9)" \
    "${nobody[@]}" "$CLI" write "$WORK/image.bin"
expect_exit 9 "without them write --device $dev refuses the node (exit 9)" \
    "${nobody[@]}" "$CLI" write "$WORK/image.bin" --device "$dev"
output_has "and says permission was denied" "$WORK/err" "Permission denied"
output_has "and how to get it: the udev rule" "$WORK/err" "70-tarnwick-programmer.rules"
expect_exit 9 "without them list finds no programmer" "${nobody[@]}" "$CLI" list
output_has "list says $dev cannot be opened for lack of permission" "$WORK/out" "Permission denied"

# What the rule does on a machine with udev.
chgrp "$group" "$dev"
chmod "$mode" "$dev"
expect_exit 0 "a user in group $group writes and verifies once the node has the rule's group and mode" \
    "${member[@]}" "$CLI" write "$WORK/image.bin" --verify
holds_image prog "$WORK/image.bin" "the flash holds the image the user wrote"
expect_exit 9 "a user outside group $group still finds no programmer" "${nobody[@]}" "$CLI" write "$WORK/image.bin"
gadget_stop prog
finish
