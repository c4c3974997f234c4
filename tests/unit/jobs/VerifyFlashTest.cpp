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
    EXPECT_TRUE(VerifyFlash(h.programmer, h.file->Path()).identical);

    auto changed = contents;
    changed[1234] ^= 0x10;
    TempFile other(changed);
    const VerifyResult r = VerifyFlash(h.programmer, other.Path());
    EXPECT_FALSE(r.identical);
    EXPECT_NE(r.detail.find("at 0x0004d2"), std::string::npos) << r.detail;
}

TEST(VerifyFlash, FailsWhenTheFlashCannotBeRead) {
    JobHarness h;
    ASSERT_EQ(h.Run(PatternBytes(2048)).ending, ProgramEnding::Success);
    const auto sent = h.programmer->Log().size();
    h.Faults([sent](FaultPlan& p) { p.dropAfterCommands = sent + 2; });  // two page reads, gone
    const VerifyResult r = VerifyFlash(h.programmer, h.file->Path());
    EXPECT_FALSE(r.identical);
    EXPECT_NE(r.detail.find("page read at 0x000400"), std::string::npos) << r.detail;
}

}  // namespace
}  // namespace tarnwick
