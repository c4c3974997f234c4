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
    EXPECT_EQ(out.str(),
              "drive 0: not probed, the number stands for no programmer\n"
              "drive 1 (/dev/sg0): not on USB (vendor \"ATA     \")\n"
              "drives 2 to 4 (/dev/sg1 to /dev/sg3): no such drive\n"
              "drive 5 (/dev/sg4): programmer\n"
              "drive 6 (/dev/sg5): no such drive\n"
              "programmer: drive 5 (/dev/sg4)\n");
}

TEST(ListOutput, SaysPlainlyWhenTheMachineHasNoScsiDevicesAtAll) {
    ScanReport scan;
    scan.probes.push_back(Probe(0, ProbeVerdict::Skipped));
    for (int n = 1; n <= 126; ++n) {
        scan.probes.push_back(Probe(n, ProbeVerdict::NoSuchDrive));
    }
    std::ostringstream out;
    PrintScan(out, scan, "");
    EXPECT_NE(out.str().find("no SCSI generic devices here"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\nno programmer found\n"), std::string::npos);
}

TEST(ListOutput, JsonKeepsEveryProbeAndEscapesVendorBytes) {
    ScanReport scan;
    scan.probes.push_back(Probe(1, ProbeVerdict::OtherVendor, "VOR\"TAN\\", true));
    scan.probes.push_back(Probe(2, ProbeVerdict::CannotOpen));
    scan.probes.back().error = "Permission denied\n";
    std::ostringstream out;
    PrintScanJson(out, scan, 0, "");
    const std::string json = out.str();
    EXPECT_NE(json.find("\"verdict\":\"other-vendor\",\"usb\":true,\"vendor\":\"VOR\\\"TAN\\\\\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"error\":\"Permission denied\\u000a\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"current\":null}"), std::string::npos);
}

TEST(DeviceOption, NamesDriveNPlus1ForSgNAndAcceptsOnlyNodesWithinTheSearchedRange) {
    EXPECT_EQ(DriveNumberOf("/dev/sg0"), 1);
    EXPECT_EQ(DriveNumberOf("/dev/sg125"), 126);
    EXPECT_EQ(DriveNumberOf("/dev/sg126"), std::nullopt);
    EXPECT_EQ(DriveNumberOf("/dev/sda"), std::nullopt);
    EXPECT_EQ(DriveNumberOf("/dev/sg"), std::nullopt);
    EXPECT_EQ(DriveNumberOf("/dev/sg1x"), std::nullopt);
    EXPECT_EQ(DriveNumberOf("/dev/sg00001"), std::nullopt);
}

}  // namespace
}  // namespace tarnwick::cli
