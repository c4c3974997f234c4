#include <gtest/gtest.h>

#include "JobHarness.h"
#include "jobs/VerifyFlash.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

TEST(VerifyFlash, AcceptsAFlashThatHoldsTheFileAndNamesTheFirstDifferenceOtherwise) {
    JobHarness h;
    const auto contents = PatternBytes(1500);
    ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success);
    EXPECT_TRUE(VerifyFlash(h.programmer, h.file->Path()));

    auto changed = contents;
    changed[1234] ^= 0x10;
    TempFile other(changed);
    const Result<void> r = VerifyFlash(h.programmer, other.Path());
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().Describe().find("flash differs from the file at 0x0004d2:"), 0u)
        << r.error().Describe();
}

// The third page is never compared with what the second left in the buffer: the file's pages
// are all alike, so only fresh bytes can tell them apart.
TEST(VerifyFlash, FailsWhenAPageCannotBeReadWholeAndNeverComparesStaleBytes) {
    std::vector<std::uint8_t> contents;
    for (int i = 0; i < 4; ++i) {
        const auto page = PatternBytes(512);
        contents.insert(contents.end(), page.begin(), page.end());
    }
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"gone", "page read at 0x000400: emulated programmer: device gone"},
        {"short transfer", "page read at 0x000400: short transfer"},
        {"claims success", "flash differs from the file at 0x000402"},
    };
    for (const auto& [how, detail] : cases) {
        JobHarness h;
        ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success);
        auto device = std::make_shared<PartialPageRead>();
        device->inner = h.programmer;
        device->address = 0x400;
        device->claimsSuccess = std::string(how) == "claims success";
        if (std::string(how) == "gone") {
            const auto sent = h.programmer->Log().size();
            h.Faults([sent](FaultPlan& p) { p.dropAfterCommands = sent + 2; });
        }
        const Result<void> r = VerifyFlash(device, h.file->Path());
        ASSERT_FALSE(r) << how;
        EXPECT_EQ(r.error().Describe().substr(0, detail.size()), detail);
    }
}

}  // namespace
}  // namespace tarnwick
