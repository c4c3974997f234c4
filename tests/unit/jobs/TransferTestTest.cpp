#include <gtest/gtest.h>

#include "BitwiseCrc.h"
#include "JobHarness.h"
#include "jobs/TransferTest.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

TEST(TransferTest, WritesThePatternAtAscendingAddressesAndReadsEachBlockBack) {
    JobHarness h;
    TransferTest test(h.display);
    const TransferTestResult r = test.Run(h.programmer, 3 * 2048 + 100);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.cycles, 3u) << "only the cycles that fit below the bound";

    const auto log = h.programmer->Log();
    ASSERT_EQ(log.size(), 1u + 3u * 3u);
    EXPECT_EQ(log[0].sub, 1) << "link status first";
    std::vector<std::uint8_t> pattern(2048);
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        pattern[k] = static_cast<std::uint8_t>(k % 64);
    }
    const std::uint16_t crc = BitwiseCrc(pattern);  // the tests' reference, not the job's CRC
    for (std::uint32_t cycle = 0; cycle < 3; ++cycle) {
        EXPECT_EQ(log[1 + cycle * 3], (LoggedCommand{0xFB, 0x01, cycle * 2048, 2048, 2048, crc}));
        EXPECT_EQ(log[2 + cycle * 3], (LoggedCommand{0xFC, 7, 0, 16, 16, 0}));
        EXPECT_EQ(log[3 + cycle * 3], (LoggedCommand{0xFD, 0x01, cycle * 2048, 2048, 2048, 0}));
    }
    EXPECT_TRUE(h.display.commands.empty()) << "good cycles add nothing to the log";
    EXPECT_EQ(h.programmer->FlashBytes(2048, 2048), pattern);
}

// A refused block is not programmed, so it also reads back erased; a block that does not read
// back gets its own line only.
TEST(TransferTest, ReportsEachBadWriteStatusAndEachBlockThatDoesNotReadBack) {
    JobHarness h;
    h.programmer->SetFaults({.resendPage = {{2048, 1}}});
    TransferTest test(h.display);
    TransferTestResult r = test.Run(h.programmer, 3 * 2048);
    EXPECT_EQ(r.statusErrors, 1u);
    EXPECT_EQ(r.compareErrors, 1u);
    EXPECT_EQ(h.display.commands,
              (std::vector<Shown>{Text("transfer data err .."), Text("transfer compare err ..")}));

    JobHarness gone;  // link query, write and status answered; gone before the read
    gone.programmer->SetFaults({.dropAfterCommands = 3});
    r = TransferTest(gone.display).Run(gone.programmer, 2048);
    EXPECT_EQ(r.statusErrors, 0u);
    EXPECT_EQ(r.compareErrors, 1u);
    EXPECT_EQ(gone.display.commands, std::vector<Shown>{Text("transfer compare err ..")});
}

TEST(TransferTest, DoesNothingWithoutAnAnsweringProgrammer) {
    JobHarness h;
    TransferTest test(h.display);
    EXPECT_FALSE(test.Run(nullptr).started);
    h.programmer->SetFaults({.muteLinkQuery = true});
    EXPECT_FALSE(test.Run(h.programmer).started);
    EXPECT_EQ(h.programmer->Log().size(), 1u);
    EXPECT_TRUE(h.display.commands.empty());
}

}  // namespace
}  // namespace tarnwick
