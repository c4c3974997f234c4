// The station's bookkeeping through a bench's day: each plug written once, a port free again
// only once its programmer is seen gone, and totals per port.
#include "cli/StationLedger.h"

#include <gtest/gtest.h>

namespace tarnwick::cli {
namespace {

FoundProgrammer Plug(const std::string& port, int device, std::int8_t drive) {
    return FoundProgrammer{drive, "/dev/sg" + std::to_string(drive - 1),
                           UsbDeviceAddress{1, device}, port, "TW-" + port};
}

std::vector<std::string> PortsOf(const std::vector<FoundProgrammer>& programmers) {
    std::vector<std::string> ports;
    for (const FoundProgrammer& p : programmers) {
        ports.push_back(p.usbPort);
    }
    return ports;
}

using PortList = std::vector<std::string>;

TEST(StationLedger, WritesEachPlugOnceAndAPortAgainAfterItsProgrammerHasGone) {
    StationLedger ledger;
    const FoundProgrammer a = Plug("1-1", 2, 1);
    const FoundProgrammer b = Plug("1-2", 3, 2);

    EXPECT_EQ(PortsOf(ledger.Look({a}).toWrite), PortList{"1-1"});
    // While its job runs, and after it, the same plug is not written again.
    EXPECT_TRUE(ledger.Look({a}).toWrite.empty());
    EXPECT_EQ(PortsOf(ledger.Look({a, b}).toWrite), PortList{"1-2"});
    ledger.Ended(a, true);
    ledger.Ended(b, false);
    EXPECT_TRUE(ledger.Look({a, b}).toWrite.empty());

    // Unplugged: the port is free; plugged in again (a new device number) it is written again.
    const StationLedger::Changes gone = ledger.Look({b});
    EXPECT_TRUE(gone.toWrite.empty());
    EXPECT_EQ(gone.unplugged, PortList{"1-1"});
    const FoundProgrammer again = Plug("1-1", 4, 1);
    EXPECT_EQ(PortsOf(ledger.Look({again, b}).toWrite), PortList{"1-1"});
    ledger.Ended(again, true);

    EXPECT_EQ(ledger.Written(), 2);
    EXPECT_EQ(ledger.Failed(), 1);
    ASSERT_EQ(ledger.Ports().size(), 2u);
    EXPECT_EQ(ledger.Ports()[0].port, "1-1");
    EXPECT_EQ(ledger.Ports()[0].written, 2);
    EXPECT_EQ(ledger.Ports()[1].port, "1-2");
    EXPECT_EQ(ledger.Ports()[1].failed, 1);
}

TEST(StationLedger, AProgrammerThatWentDuringItsJobFreesThePortOnlyWhenTheJobHasEnded) {
    StationLedger ledger;
    const FoundProgrammer first = Plug("1-1", 2, 1);
    ASSERT_EQ(ledger.Look({first}).toWrite.size(), 1u);

    // Swapped while the first job still runs on its dead device: the new one waits.
    const FoundProgrammer second = Plug("1-1", 5, 1);
    EXPECT_TRUE(ledger.Look({second}).toWrite.empty());
    ledger.Ended(first, false);
    const StationLedger::Changes next = ledger.Look({second});
    EXPECT_EQ(next.unplugged, PortList{"1-1"});
    EXPECT_EQ(PortsOf(next.toWrite), PortList{"1-1"});
}

TEST(StationLedger, APlugThatCouldNotBeOpenedIsHandedOutAgain) {
    StationLedger ledger;
    const FoundProgrammer a = Plug("1-1", 2, 1);
    ASSERT_EQ(ledger.Look({a}).toWrite.size(), 1u);
    ledger.Release(a);
    EXPECT_EQ(PortsOf(ledger.Look({a}).toWrite), PortList{"1-1"});
    EXPECT_EQ(ledger.Written() + ledger.Failed(), 0);
}

}  // namespace
}  // namespace tarnwick::cli
