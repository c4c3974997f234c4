#include <gtest/gtest.h>

#include <sstream>

#include "cli/CommandOptions.h"
#include "cli/ListCommand.h"

namespace tarnwick::cli {
namespace {

ProbeReport Probe(int drive, ProbeVerdict verdict, std::string vendor = {}, bool usb = false) {
    ProbeReport p;
    p.drive = static_cast<std::int8_t>(drive);
    p.driveName = drive >= 1 ? "/dev/sg" + std::to_string(drive - 1) : std::string();
    p.verdict = verdict;
    p.identity.usb = usb;
    if (!vendor.empty()) {
        p.identity.vendor = vendor;
    }
    return p;
}

TEST(ListOutput, FoldsRunsOfMissingDrivesAndSaysWhichOneIsCurrent) {
    ScanReport scan;
    scan.probes.push_back(Probe(0, ProbeVerdict::Skipped));
    scan.probes.push_back(Probe(1, ProbeVerdict::NotUsb, "ATA     "));
    for (int n = 2; n <= 4; ++n) {
        scan.probes.push_back(Probe(n, ProbeVerdict::NoSuchDrive));
    }
    scan.probes.push_back(Probe(5, ProbeVerdict::Programmer, "VORTAN  ", true));
    scan.probes.push_back(Probe(6, ProbeVerdict::NoSuchDrive));
    std::ostringstream out;
    PrintScan(out, scan, "drive 5 (/dev/sg4)");
    EXPECT_NE(out.str().find("\ndrives 2 to 4 (/dev/sg1 to /dev/sg3): no such drive\n"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("\nprogrammer: drive 5 (/dev/sg4)\n"), std::string::npos);
}

TEST(DeviceOption, NamesDriveNPlus1ForSgNAndAcceptsOnlyNodesWithinTheSearchedRange) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"/dev/sg0", 1}, {"/dev/sg125", 126}, {"/dev/sg126", std::nullopt}, {"/dev/sda", {}},
        {"/dev/sg", {}}, {"/dev/sg1x", {}},   {"/dev/sg00001", {}}};
    for (const auto& [node, drive] : cases) {
        EXPECT_EQ(DriveNumberOf(node), drive) << node;
    }
}

}  // namespace
}  // namespace tarnwick::cli
