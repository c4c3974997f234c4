// Resends, malformed replies and programmers that vanish: never a success that did not happen.
#include <gtest/gtest.h>

#include "JobHarness.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using Addresses = std::vector<std::uint32_t>;

TEST(ProgramJobResend, APageAskedForOnceMoreIsWrittenTwiceThenCounted) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.resendPage = {{512, 1}}; });
    const auto contents = PatternBytes(1536);
    ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success);
    EXPECT_EQ(h.WriteAddresses(), (Addresses{0, 512, 512, 1024}));
    EXPECT_EQ(h.programmer->FlashBytes(0, 1536), contents);
}

TEST(ProgramJobResend, TenResendsAreAllowedAndTheEleventhWriteMayStillSucceed) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.resendPage = {{0, 10}}; });
    ASSERT_EQ(h.Run(PatternBytes(512)).ending, ProgramEnding::Success);
    EXPECT_EQ(h.WriteAddresses(), Addresses(11, 0));
}

TEST(ProgramJobResend, APageStillRefusedAfterTenResendsIsAWriteError) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.resendPage = {{0, 11}}; });
    const ProgramResult r = h.Run(PatternBytes(1024));
    EXPECT_EQ(r.ending, ProgramEnding::WriteFailed);
    EXPECT_NE(r.detail.find("not taken after 10 resends"), std::string::npos) << r.detail;
    EXPECT_EQ(h.WriteAddresses(), Addresses(11, 0)) << "once plus ten rewrites, no later page";
    EXPECT_EQ(h.display.Commands().back(), Result(false));
}

TEST(ProgramJobResend, AStatusReplyWithAWrongEchoIsNeverTakenAsWritten) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.malformedStatus = {{0, 2}}; });
    ASSERT_EQ(h.Run(PatternBytes(512)).ending, ProgramEnding::Success);
    EXPECT_EQ(h.WriteAddresses(), Addresses(3, 0)) << "resent until a well-formed reply said 0";
}

TEST(ProgramJobResend, StatusRepliesThatStayMalformedEndInAWriteError) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.malformedStatus = {{0, 1000}}; });
    EXPECT_EQ(h.Run(PatternBytes(512)).ending, ProgramEnding::WriteFailed);
    EXPECT_EQ(h.WriteAddresses(), Addresses(11, 0));
    EXPECT_EQ(h.display.Commands().back(), Result(false));
}

TEST(ProgramJobGone, AProgrammerLostWhileErasingEndsAsAnEraseFailure) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.dropAfterCommands = 2; });  // link status, the first erase
    const ProgramResult r = h.Run(PatternBytes(3 * 65536));
    EXPECT_EQ(r.ending, ProgramEnding::EraseFailed);
    EXPECT_NE(r.detail.find("device gone"), std::string::npos) << r.detail;
    EXPECT_EQ(h.display.Commands().back(), Result(false));
}

TEST(ProgramJobGone, AProgrammerLostWhileWritingEndsAsAWriteFailureNeverAsSuccess) {
    for (std::uint64_t after : {3u, 4u, 5u, 40u}) {
        JobHarness h;
        h.Faults([after](FaultPlan& p) { p.dropAfterCommands = after; });
        const ProgramResult r = h.Run(PatternBytes(65536));
        EXPECT_EQ(r.ending, ProgramEnding::WriteFailed) << "gone after " << after;
        const auto shown = h.display.Commands();
        EXPECT_EQ(std::count(shown.begin(), shown.end(), Result(true)), 0);
        EXPECT_EQ(shown.back(), Result(false));
    }
}

TEST(ProgramJobGone, DiscoveryDroppingTheDeviceDoesNotCloseItUnderTheJob) {
    // The link lets go of the device mid-job, as a scan would; the job keeps its reference.
    struct DroppingDisplay : RecordingDisplay {
        ProgrammerLink* link = nullptr;
        void Send(const DisplayMessage& m) override {
            if (m.command == DISPLAY_PROGRESS && link != nullptr) {
                link->Clear();
            }
            RecordingDisplay::Send(m);
        }
    };
    JobHarness h;
    DroppingDisplay display;
    display.link = &h.link;
    ProgramJob job(h.link, h.path, display, display, h.stdoutLines);
    TempFile file(PatternBytes(4096));
    h.path.Set(file.Path());
    EXPECT_EQ(job.ProgramFlash().ending, ProgramEnding::Success);
    EXPECT_EQ(h.link.Device(), nullptr);
    EXPECT_EQ(h.programmer->FlashBytes(0, 4096), PatternBytes(4096));
}

}  // namespace
}  // namespace tarnwick
