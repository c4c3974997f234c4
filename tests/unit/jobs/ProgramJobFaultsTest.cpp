// Resends, malformed replies and programmers that vanish: never a success that did not happen.
#include <gtest/gtest.h>

#include <map>

#include "JobHarness.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using Addresses = std::vector<std::uint32_t>;

// The writes ("W" and the address) and write-status queries ("S") the programmer received.
std::string WritesAndQueries(const EmulatedProgrammer& programmer) {
    std::string out;
    for (const LoggedCommand& c : programmer.Log()) {
        if (c.op == 0xFB && c.sub == 0x01) {
            out += " W" + std::to_string(c.address);
        } else if (c.op == 0xFC && c.sub == 0x07) {
            out += " S";
        }
    }
    return out;
}

// A page goes again when the programmer asks, when its write request failed (it may never have
// arrived: no status is asked about it, the answer would be about the page before) and when the
// status reply came short (it says nothing, and it hides a request to send again: read as a
// status it would say 0); it counts only once the programmer took it, the eleventh time at most.
TEST(ProgramJobResend, APageGoesAgainUntilTheProgrammerTookIt) {
    std::string tenResends;
    for (int i = 0; i < 10; ++i) {
        tenResends += " W512 S";
    }
    const std::pair<FaultPlan, std::string> cases[] = {
        {{.resendPage = {{512, 10}}}, " W0 S W512 S" + tenResends + " W1024 S"},
        {{.resendPage = {{512, 1}}}, " W0 S W512 S W512 S W1024 S"},
        {{.failWriteRequest = {{512, 1}}}, " W0 S W512 W512 S W1024 S"},
        {{.resendPage = {{512, 1}}, .shortStatus = {{512, 1}}}, " W0 S W512 S W512 S W1024 S"},
    };
    for (const auto& [faults, sent] : cases) {
        JobHarness h;
        h.programmer->SetFaults(faults);
        const auto contents = PatternBytes(1536);
        const ProgramResult r = h.Run(contents);
        ASSERT_EQ(r.ending, ProgramEnding::Success) << sent << ": " << Why(r.fault);
        EXPECT_EQ(h.programmer->FlashBytes(0, 1536), contents) << sent;
        EXPECT_EQ(WritesAndQueries(*h.programmer), sent);
    }
}

// Whatever kept the page from being taken, the eleventh failure is a write error that says
// what the last attempt met, never a success.
TEST(ProgramJobResend, APageNotTakenAfterTenResendsIsAWriteErrorThatSaysWhy) {
    const std::string atZero = "page write at 0x000000: ";
    const std::pair<FaultPlan, std::string> cases[] = {
        {{.resendPage = {{0, 11}}}, atZero + "the programmer asked for the page again 10 times"},
        {{.failWriteRequest = {{0, 11}}},
         atZero + "the write request failed after 10 resends: emulated programmer: page write "
                  "aborted, SCSI status 0x02, sense 70 00 0b 00 00 00 00 0a 00 00 00 00 4b 00 "
                  "00 00 00 00"},
        {{.shortStatus = {{0, 11}}},
         atZero + "no write status after 10 resends: short transfer, 2 of 16 bytes moved"},
        {{.malformedStatus = {{0, 1000}}},
         atZero + "no write status after 10 resends: status reply fc 01, expected fc 07"},
    };
    for (const auto& [faults, why] : cases) {
        JobHarness h;
        h.programmer->SetFaults(faults);
        const ProgramResult r = h.Run(PatternBytes(1024));
        EXPECT_EQ(r.ending, ProgramEnding::WriteFailed) << why;
        EXPECT_EQ(Why(r.fault), why);
        EXPECT_EQ(r.bytesWritten, 0u);
        EXPECT_EQ(h.WriteAddresses(), Addresses(11, 0)) << "once plus ten resends, no later page";
        EXPECT_TRUE(h.display.EndedRed()) << why;
    }
}

// Gone after the link query and the first erase (2), or at some point of the writing.
TEST(ProgramJobGone, AProgrammerLostDuringTheJobEndsItAsAFailureNeverAsSuccess) {
    for (std::uint64_t after : {2u, 3u, 4u, 5u, 40u}) {
        JobHarness h;
        h.programmer->SetFaults({.dropAfterCommands = after});
        const ProgramResult r = h.Run(PatternBytes(2 * 65536));
        EXPECT_EQ(r.ending, after == 2 ? ProgramEnding::EraseFailed : ProgramEnding::WriteFailed)
            << "gone after " << after;
        EXPECT_NE(Why(r.fault).find("emulated programmer: device gone (ENODEV)"), std::string::npos)
            << Why(r.fault);
        EXPECT_TRUE(h.display.EndedRed()) << "gone after " << after;
    }
}

// Passes commands on, and asks the job to stop as the n-th command of one kind goes by.
struct StopAtCommand : PassThrough {
    StopAtCommand(std::shared_ptr<PassThrough> to, std::uint8_t opcode, std::uint8_t subcode,
                  int nth)
        : inner(std::move(to)), op(opcode), sub(subcode), left(nth) {}
    Result<void> Exchange(const PassThroughRequest& r) override {
        if (r.cdb[0] == op && r.cdb[1] == sub && --left == 0) {
            stop.request_stop();
        }
        return inner->Exchange(r);
    }
    std::shared_ptr<PassThrough> inner;
    std::uint8_t op, sub;
    int left;
    std::stop_source stop;
};

TEST(ProgramJobStop, AStopEndsTheJobBeforeItsNextCommandInEveryPhase) {
    struct Case {
        std::uint8_t op, sub;
        int nth;
        std::map<std::uint32_t, int> resends;
        Addresses erased, written;
        std::string detail;
        std::uint64_t bytesWritten;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {0xFB, 0x00, 1, {}, {0}, {}, "stopped before the block erase at 0x010000", 0},
        {0xFB, 0x01, 2, {}, {0, 0x10000, 0x20000}, {0, 512}, "stopped before the page at 0x000400", 1024},
        {0xFB, 0x01, 3, {{0, 1000}}, {0, 0x10000, 0x20000}, {0, 0, 0},
         "stopped while resending the page at 0x000000", 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        JobHarness h;
        h.programmer->SetFaults({.resendPage = c.resends});
        auto device = std::make_shared<StopAtCommand>(h.programmer, c.op, c.sub, c.nth);
        h.link.Set(device, 3);
        const ProgramResult r = h.Run(PatternBytes(3 * 65536), device->stop.get_token());
        EXPECT_EQ(r.ending, ProgramEnding::Cancelled) << c.detail;
        EXPECT_EQ(Why(r.fault), c.detail);
        EXPECT_EQ(r.bytesWritten, c.bytesWritten) << c.detail;
        EXPECT_EQ(h.EraseAddresses(), c.erased) << c.detail;
        EXPECT_EQ(h.WriteAddresses(), c.written) << c.detail;
    }

    JobHarness h;  // stopped before it began: nothing sent, nothing shown
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(h.Run(PatternBytes(512), stop.get_token()).ending, ProgramEnding::Cancelled);
    EXPECT_TRUE(h.programmer->Log().empty());
    EXPECT_TRUE(h.display.commands.empty());
}

}  // namespace
}  // namespace tarnwick
