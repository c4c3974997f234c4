# Discovery against real sysfs: which /dev/sgN the programmer is, and why the others are not.
# Drive n is /dev/sg(n-1): the programmer alone on the bus is /dev/sg0, drive 1.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

# list_finds SITUATION NODE DRIVE: list --json and list in words name NODE, drive DRIVE, as the
# current programmer. Leaves list --json's answer in $WORK/list.json and list's words in $WORK/out.
list_finds() {
    expect_exit 0 "list finds the programmer $1" "$CLI" list --json
    cp "$WORK/out" "$WORK/list.json"
    check "list --json names $2, drive $3, as the current programmer" json "$WORK/list.json" \
        '.current.name == $node and .current.drive == ($drive | tonumber)' --arg node "$2" --arg drive "$3"
    expect_exit 0 "list in words finds the programmer $1" "$CLI" list
    output_has "list in words names it drive $3 ($2)" "$WORK/out" "programmer: drive $3 ($2)"
}

# probe_is NODE FILTER: list --json's probe of NODE satisfies the jq FILTER.
probe_is() { check "list judges $1: $2" json "$WORK/list.json" "[.probes[] | select(.name == \$node) | $2] == [true]" --arg node "$1"; }

# The kernel's own answer to "is this sg node on USB": its sysfs path runs through a USB device.
on_usb_in_sysfs() { readlink -f "/sys/class/scsi_generic/${1##*/}" | grep -qE '/usb[0-9]+/[0-9]+-[0-9]+'; }
# The kernel's port path of the USB device NODE hangs off: the last "1-2.3" in its sysfs path.
usb_port_in_sysfs() {
    readlink -f "/sys/class/scsi_generic/${1##*/}" | grep -oE '/[0-9]+-[0-9.]+/' | tail -n 1 | tr -d /
}
scsi_debug_disks() { [ "$(sg_with_vendor "Linux   " | wc -l)" -ge "$1" ]; }
programmers_are() { [ "$(sg_with_vendor "$VENDOR" | tr '\n' ' ')" = "$* " ]; }

load_usb_stack 3

# The common machine: the programmer is the only SCSI device there is.
gadget_start prog
check "with no other SCSI device the programmer becomes /dev/sg0" [ "$(wait_for_device "$VENDOR")" = /dev/sg0 ]
check "the kernel has /dev/sg0 below a USB device in sysfs" on_usb_in_sysfs /dev/sg0
list_finds "alone on the bus" /dev/sg0 1
probe_is /dev/sg0 '.verdict == "programmer" and .usb and .vendor == "VORTAN  "'
# The gadget's serial is TW- and its name unless told otherwise.
check "list --json gives the programmer's USB port path and serial" json "$WORK/list.json" \
    '.current.port == $port and .current.serial == "TW-prog"' --arg port "$(usb_port_in_sysfs /dev/sg0)"
head -c 65536 /dev/urandom >"$WORK/image.bin"
expect_exit 0 "write --verify into the programmer found on /dev/sg0 ends in success" \
    "$CLI" write "$WORK/image.bin" --verify
holds_image prog "$WORK/image.bin" "the flash of the programmer on /dev/sg0 holds the image"
gadget_ctl prog unplug
check "unplugging the gadget removes its SCSI generic node" wait_until 30 no_programmer

# Two disks that are not on USB take /dev/sg0 and /dev/sg1; the programmer plugged in again
# behind them is /dev/sg2, drive 3.
busybox modprobe scsi_debug add_host=2
check "two scsi_debug disks, not on USB, attach" wait_until 30 scsi_debug_disks 2
gadget_ctl prog plug
check "plugged in behind two scsi_debug disks the programmer is /dev/sg2" [ "$(wait_for_device "$VENDOR")" = /dev/sg2 ]
list_finds "behind the disks" /dev/sg2 3
probe_is /dev/sg1 '.verdict == "not-usb" and (.usb | not) and .vendor == "Linux   "'
output_has "list in words says why drive 2 is not the programmer" "$WORK/out" 'drive 2 (/dev/sg1): not on USB (vendor "Linux   ")'

# A second programmer, then a gadget with the right letters in the wrong case: the highest
# drive that is a programmer wins, the lower-case one never does.
gadget_start second --udc dummy_udc.1
check "a second programmer attaches as /dev/sg3" wait_until 30 programmers_are /dev/sg2 /dev/sg3
gadget_start other --udc dummy_udc.2 --vendor "vortan  "
check "a gadget with vendor \"vortan  \" attaches as /dev/sg4" [ "$(wait_for_device "vortan  ")" = /dev/sg4 ]
list_finds "among three gadgets, the higher of two" /dev/sg3 4
probe_is /dev/sg2 '.verdict == "programmer"'
probe_is /dev/sg4 '.verdict == "other-vendor" and .usb and .vendor == "vortan  "'
output_has "list in words says the lower-case vendor is not the programmer's" "$WORK/out" \
    'drive 5 (/dev/sg4): on USB, vendor "vortan  " is not "VORTAN  "'

gadget_ctl second unplug
gadget_ctl prog unplug
wait_until 30 no_programmer
expect_exit 9 "with only the lower-case vendor left on USB, list finds no programmer" "$CLI" list --json
check "list names no current programmer then" json "$WORK/out" '.current == null'

gadget_stop other
gadget_stop second
gadget_stop prog
finish
