# Discovery against real sysfs: which /dev/sgN the programmer is, and why the others are not.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

probe() {  # probe JSON NODE FILTER: the JSON scan's probe of NODE satisfies FILTER
    json "$1" "[.probes[] | select(.name == \$node) | $3] == [true]" --arg node "$2"
}

load_usb_stack 2

# The programmer alone: it becomes drive 0, which a scan starting with no programmer current
# never probes, because on the original platform drive 0 is the system disk. Deliberate.
gadget_start prog
dev=$(wait_for_device "$VENDOR")
check "with no other SCSI device the programmer becomes /dev/sg0" [ "$dev" = /dev/sg0 ]
expect_exit 9 "list does not take a programmer on drive 0 (the system disk's number)" \
    "$CLI" list --json
cp "$WORK/out" "$WORK/alone.json"
check "list reports drive 0 as not probed" probe "$WORK/alone.json" /dev/sg0 '.verdict == "skipped"'
check "list names no current programmer" json "$WORK/alone.json" '.current == null'

gadget_ctl prog unplug
check "unplugging the gadget removes its SCSI generic node" wait_until 30 no_sg_with_vendor "$VENDOR"

# Two disks that are not on USB take drives 0 and 1; the programmer plugged in again is drive 2.
load_scsi_debug 2
gadget_ctl prog plug
dev=$(wait_for_device "$VENDOR")
check "plugged in behind two scsi_debug disks the programmer is /dev/sg2" [ "$dev" = /dev/sg2 ]
check "the kernel has /dev/sg2 below a USB device in sysfs" on_usb_in_sysfs /dev/sg2

expect_exit 0 "list finds the programmer" "$CLI" list --json
cp "$WORK/out" "$WORK/found.json"
check "list --json names /dev/sg2 as the current programmer" \
    json "$WORK/found.json" '.current.name == "/dev/sg2" and .current.drive == 2'
check "list reads /dev/sg2 as on USB with the vendor identification \"VORTAN  \" exactly" \
    probe "$WORK/found.json" /dev/sg2 '.verdict == "programmer" and .usb and .vendor == "VORTAN  "'
check "list explains /dev/sg1, a scsi_debug disk, as not on USB with vendor \"Linux   \"" \
    probe "$WORK/found.json" /dev/sg1 '.verdict == "not-usb" and (.usb | not) and .vendor == "Linux   "'
expect_exit 0 "list in words finds the programmer" "$CLI" list
output_has "list in words says why drive 1 is not the programmer" "$WORK/out" \
    'drive 1 (/dev/sg1): not on USB (vendor "Linux   ")'
output_has "list in words names the programmer" "$WORK/out" "programmer: drive 2 (/dev/sg2)"

# A second gadget on the second controller, with the right letters in the wrong case.
gadget_start other --udc dummy_udc.1 --vendor "vortan  "
other=$(wait_for_device "vortan  ")
check "a gadget with vendor \"vortan  \" attaches as /dev/sg3" [ "$other" = /dev/sg3 ]
expect_exit 0 "list still finds the programmer beside it" "$CLI" list --json
cp "$WORK/out" "$WORK/two.json"
check "list explains /dev/sg3 as on USB but with another vendor identification" \
    probe "$WORK/two.json" /dev/sg3 '.verdict == "other-vendor" and .usb and .vendor == "vortan  "'
check "list keeps /dev/sg2 as the programmer" json "$WORK/two.json" '.current.name == "/dev/sg2"'
expect_exit 0 "list in words with both gadgets" "$CLI" list
output_has "list in words says the lower-case vendor is not the programmer's" "$WORK/out" \
    'drive 3 (/dev/sg3): on USB, vendor "vortan  " is not "VORTAN  "'

gadget_ctl prog unplug
wait_until 30 no_sg_with_vendor "$VENDOR"
expect_exit 9 "with only the lower-case vendor left on USB, list finds no programmer" \
    "$CLI" list --json
cp "$WORK/out" "$WORK/wrong.json"
check "list names no current programmer then" json "$WORK/wrong.json" '.current == null'

gadget_stop other
gadget_stop prog
finish
