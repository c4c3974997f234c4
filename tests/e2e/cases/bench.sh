# A bench of programmers written at once with write --all: each on its own controller, each
# flash left holding the image; a page fault on one ends that one's job alone, with exit 13.
. "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"

programmers_present() { [ "$(sg_with_vendor "$VENDOR" | wc -l)" -eq "$1" ]; }

load_usb_stack 4
head -c 262144 /dev/urandom >"$WORK/image.bin"  # 4 blocks, 512 pages

for n in 0 1 2 3; do
    gadget_start "p$n" --udc "dummy_udc.$n"
done
check "four programmers attach, one on each controller" wait_until 30 programmers_present 4
expect_exit 0 "write --all --verify on four programmers ends in success" \
    "$CLI" write "$WORK/image.bin" --all --verify
for n in 0 1 2 3; do
    holds_image "p$n" "$WORK/image.bin" "the flash of programmer p$n holds the image"
    check "the table gives p$n's serial, its success and its verification" \
        grep -qE "TW-p$n +success +256.0 KiB .* yes$" "$WORK/out"
done
check "the lines during the job are tagged with the programmer's USB port path" \
    grep -qE '^\[[0-9]+-[0-9.]+\] progress' "$WORK/out"
gadget_stop p0 p1 p2 p3

gadget_start good --udc dummy_udc.0
gadget_start bad --udc dummy_udc.1 --emulate-fail-page 0x10400
check "two programmers attach, one that cannot program a page" wait_until 30 programmers_present 2
expect_exit 13 "write --all with a page that never programs on one of two exits 13" \
    "$CLI" write "$WORK/image.bin" --all --log "$WORK/jobs.log"
holds_image good "$WORK/image.bin" "the other programmer's flash holds the image all the same"
check "the table gives the faulty programmer's write failure" \
    grep -qE "TW-bad +write failed" "$WORK/out"
check "the table gives the other programmer's success" grep -qE "TW-good +success" "$WORK/out"
check "--log keeps one record per programmer, each with its own ending" json "$WORK/jobs.log" \
    'map([.programmer.serial, .exit]) | sort == [["TW-bad", 6], ["TW-good", 0]]' -s
gadget_stop bad good
finish
