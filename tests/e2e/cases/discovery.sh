# Discovery against real sysfs: which /dev/sgN the programmer is, and why the others are not.
# Drive n is /dev/sg(n-1): the programmer alone on the bus is /dev/sg0, drive 1.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

probe() {  # probe JSON NODE FILTER: the JSON scan's probe of NODE satisfies FILTER
    json "$1" "[.probes[] | select(.name == \$node) | $3] == [true]" --arg node "$2"
}

programmers_are() {  # programmers_are NODE...: exactly these nodes carry "VORTAN  "
    [ "$(sg_with_vendor "$VENDOR" | tr '\n' ' ')" = "$* " ]
}

load_usb_stack 3

# The common machine: the programmer is the only SCSI device there is.
gadget_start prog
dev=$(wait_for_device "$VENDOR")
check "with no other SCSI device the programmer becomes /dev/sg0" [ "$dev" = /dev/sg0 ]
check "the kernel has /dev/sg0 below a USB device in sysfs" on_usb_in_sysfs /dev/sg0
expect_exit 0 "list finds the programmer alone on the bus" "$CLI" list --json
cp "$WORK/out" "$WORK/alone.json"
check "list --json names /dev/sg0, drive 1, as the current programmer" \
    json "$WORK/alone.json" '.current.name == "/dev/sg0" and .current.drive == 1'
check "list reads /dev/sg0 as on USB with the vendor identification \"VORTAN  \" exactly" \
    probe "$WORK/alone.json" /dev/sg0 '.verdict == "programmer" and .usb and .vendor == "VORTAN  "'
expect_exit 0 "list in words finds the programmer alone on the bus" "$CLI" list
output_has "list in words names it drive 1 (/dev/sg0)" "$WORK/out" "programmer: drive 1 (/dev/sg0)"
random_image "$WORK/image.bin" 65536
expect_exit 0 "write --verify into the programmer found on /dev/sg0 ends in success" \
    "$CLI" write "$WORK/image.bin" --verify
gadget_ctl prog dump
check "the flash of the programmer on /dev/sg0 holds the image" flash_holds prog "$WORK/image.bin"

gadget_ctl prog unplug
check "unplugging the gadget removes its SCSI generic node" wait_until 30 no_sg_with_vendor "$VENDOR"

# Two disks that are not on USB take /dev/sg0 and /dev/sg1; the programmer plugged in again
# behind them is /dev/sg2, drive 3.
load_scsi_debug 2
gadget_ctl prog plug
dev=$(wait_for_device "$VENDOR")
check "plugged in behind two scsi_debug disks the programmer is /dev/sg2" [ "$dev" = /dev/sg2 ]
expect_exit 0 "list finds the programmer behind the disks" "$CLI" list --json
cp "$WORK/out" "$WORK/behind.json"
check "list --json names /dev/sg2, drive 3, as the current programmer" \
    json "$WORK/behind.json" '.current.name == "/dev/sg2" and .current.drive == 3'
check "list explains /dev/sg1, a scsi_debug disk, as not on USB with vendor \"Linux   \"" \
    probe "$WORK/behind.json" /dev/sg1 '.verdict == "not-usb" and (.usb | not) and .vendor == "Linux   "'
expect_exit 0 "list in words finds the programmer behind the disks" "$CLI" list
output_has "list in words says why drive 2 is not the programmer" "$WORK/out" \
    'drive 2 (/dev/sg1): not on USB (vendor "Linux   ")'
output_has "list in words names the programmer drive 3 (/dev/sg2)" "$WORK/out" \
    "programmer: drive 3 (/dev/sg2)"

# A second programmer, then a gadget with the right letters in the wrong case: the highest
# drive that is a programmer wins, the lower-case one never does.
gadget_start second --udc dummy_udc.1
check "a second programmer attaches as /dev/sg3" wait_until 30 programmers_are /dev/sg2 /dev/sg3
gadget_start other --udc dummy_udc.2 --vendor "vortan  "
other=$(wait_for_device "vortan  ")
check "a gadget with vendor \"vortan  \" attaches as /dev/sg4" [ "$other" = /dev/sg4 ]
expect_exit 0 "list finds a programmer among the three gadgets" "$CLI" list --json
cp "$WORK/out" "$WORK/three.json"
check "of two programmers list takes the higher drive: /dev/sg3, drive 4" \
    json "$WORK/three.json" '.current.name == "/dev/sg3" and .current.drive == 4'
check "list judges /dev/sg2 a programmer too" \
    probe "$WORK/three.json" /dev/sg2 '.verdict == "programmer"'
check "list explains /dev/sg4 as on USB but with another vendor identification" \
    probe "$WORK/three.json" /dev/sg4 '.verdict == "other-vendor" and .usb and .vendor == "vortan  "'
expect_exit 0 "list in words with three gadgets" "$CLI" list
output_has "list in words says the lower-case vendor is not the programmer's" "$WORK/out" \
    'drive 5 (/dev/sg4): on USB, vendor "vortan  " is not "VORTAN  "'
output_has "list in words names the higher programmer" "$WORK/out" "programmer: drive 4 (/dev/sg3)"

gadget_ctl second unplug
gadget_ctl prog unplug
wait_until 30 no_sg_with_vendor "$VENDOR"
expect_exit 9 "with only the lower-case vendor left on USB, list finds no programmer" \
    "$CLI" list --json
cp "$WORK/out" "$WORK/wrong.json"
check "list names no current programmer then" json "$WORK/wrong.json" '.current == null'

gadget_stop other
gadget_stop second
gadget_stop prog
finish
