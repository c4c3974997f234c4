# The main dialog on the real kernel, under Xvfb: it follows the gadget's plug and unplug with
# its update button and status icon, and a job started from the update button ends in solid
# green with the image in the flash. The checks are in the Qt Test program
# tarnwick-e2e-dialog; this sets up the guest for it.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

load_usb_stack
head -c 262144 /dev/urandom >"$WORK/image.bin"
gadget_start prog --unplugged
Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
xvfb=$!
check "Xvfb runs" wait_until 30 test -e /tmp/.X11-unix/X7
expect_exit 0 "the dialog follows plug and unplug and ends an update in solid green" \
    env DISPLAY=:7 QT_QPA_PLATFORM=xcb QTEST_FUNCTION_TIMEOUT=300000 \
    E2E_GADGET_DIR="$WORK/prog" E2E_IMAGE="$WORK/image.bin" "$E2E_BUILD/tests/e2e/tarnwick-e2e-dialog"
# What a failing Qt Test function said.
grep -A3 -E '^FAIL!' "$WORK/out"
kill "$xvfb"
gadget_stop prog
finish
