#include <gtest/gtest.h>

#include "JobHarness.h"
#include "jobs/VerifyFlash.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

// A flash that holds the file is accepted, a changed byte is named. The third page is never
// compared with what the second left in the buffer: the file's pages are all alike, so only
// fresh bytes can tell them apart.
TEST(VerifyFlash, AcceptsOnlyAFlashReadWholeThatHoldsTheFileAndNamesTheFirstDifference) {
    std::vector<std::uint8_t> contents;
    for (int i = 0; i < 4; ++i) {
        const auto page = PatternBytes(512);
        contents.insert(contents.end(), page.begin(), page.end());
    }
    auto changed = contents;
    changed[1234] ^= 0x10;
    const struct {
        std::string how;
        bool partialRead;    // the page at 0x400 comes only in part
        std::string detail;  // the start of the failure, or "accepted"
    } cases[] = {
        {"holds the file", false, "accepted"},
        {"changed", false, "flash differs from the file at 0x0004d2:"},
        {"gone", true, "page read at 0x000400: emulated programmer: device gone"},
        {"short transfer", true, "page read at 0x000400: short transfer"},
        {"claims success", true, "flash differs from the file at 0x000402"},
    };
    for (const auto& [how, partialRead, detail] : cases) {
        SCOPED_TRACE(how);
        JobHarness h;
        ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success);
        const std::shared_ptr<PassThrough> device =
            partialRead
                ? std::make_shared<PartialPageRead>(h.programmer, 0x400, how == "claims success")
                : std::shared_ptr<PassThrough>(h.programmer);
        if (how == "gone") {
            const auto sent = h.programmer->Log().size();
            h.programmer->SetFaults({.dropAfterCommands = sent + 2});
        }
        TempFile file(how == "changed" ? changed : contents);
        const Result<void> r = VerifyFlash(device, file.Path());
        EXPECT_EQ(r ? "accepted" : r.error().Describe().substr(0, detail.size()), detail);
    }
}

}  // namespace
}  // namespace tarnwick
