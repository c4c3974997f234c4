#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/ListCommand.h"

namespace tarnwick::cli {
namespace {

using nlohmann::json;

ProbeReport Probe(std::int8_t drive, ProbeVerdict verdict, StorageIdentity identity) {
    ProbeReport probe;
    probe.drive = drive;
    probe.driveName = "/dev/sg" + std::to_string(drive - 1);
    probe.verdict = verdict;
    probe.identity = std::move(identity);
    return probe;
}

json ScanJson(const ScanReport& report, const ProgrammerPresence& current) {
    std::ostringstream out;
    PrintScanJson(out, report, current);
    return json::parse(out.str());  // throws on anything that is not valid JSON (and UTF-8)
}

// Scripts read every field by name: the ones they always had keep their meaning, and the USB
// identity is there for each drive, null where nothing is known.
TEST(ListJson, ProbesAndTheCurrentProgrammerCarryTheirUsbIdentityOrNull) {
    ScanReport report;
    report.probes.push_back(
        Probe(2, ProbeVerdict::OtherVendor,
              {true, std::string("\xff\"\\\n  ", 6), UsbDeviceAddress{1, 4}, "1-1", std::nullopt}));
    report.probes.push_back(Probe(3, ProbeVerdict::Programmer,
                                  {true, "VORTAN  ", UsbDeviceAddress{1, 5}, "1-2.3", "TW-7"}));
    report.probes.push_back(
        Probe(4, ProbeVerdict::NotUsb, {false, "ATA     ", std::nullopt, "", std::nullopt}));
    const FoundProgrammer found{3, "/dev/sg2", UsbDeviceAddress{1, 5}, "1-2.3", "TW-7"};

    const json scan = ScanJson(report, found);

    const json& probes = scan.at("probes");
    ASSERT_EQ(probes.size(), 3u);
    EXPECT_EQ(probes[0].at("vendor"), "\xef\xbf\xbd\"\\\n  ") << "a byte that is not UTF-8";
    EXPECT_EQ(probes[0].at("verdict"), "other-vendor");
    EXPECT_EQ(probes[0].at("serial"), nullptr);
    EXPECT_EQ(probes[1].at("port"), "1-2.3");
    EXPECT_EQ(probes[1].at("serial"), "TW-7");
    EXPECT_EQ(probes[2].at("usb"), false);
    for (const char* unknown : {"port", "bus", "device", "serial"}) {
        EXPECT_EQ(probes[2].at(unknown), nullptr) << unknown;
    }
    EXPECT_EQ(probes[2].at("name"), "/dev/sg3");
    EXPECT_EQ(probes[2].at("recheck"), false);
    EXPECT_EQ(probes[2].at("error"), "");
    EXPECT_EQ(probes[2].at("description"), report.probes[2].Describe());

    EXPECT_EQ(scan.at("current"), (json{{"drive", 3},
                                        {"name", "/dev/sg2"},
                                        {"port", "1-2.3"},
                                        {"bus", 1},
                                        {"device", 5},
                                        {"serial", "TW-7"}}));
}

TEST(ListJson, NoProgrammerIsANullCurrentAndAnEmulatedOneHasOnlyItsAddress) {
    EXPECT_EQ(ScanJson({}, std::nullopt).at("current"), nullptr);

    const json emulated =
        ScanJson({}, FoundProgrammer{1, "emulated /dev/sg0", UsbDeviceAddress{1, 2}, "", {}})
            .at("current");
    EXPECT_EQ(emulated.at("port"), nullptr) << "an empty port path is no port";
    EXPECT_EQ(emulated.at("bus"), 1);
    EXPECT_EQ(emulated.at("serial"), nullptr);
}

// As in the words: a run of missing drive numbers one after the other is one entry, and a
// single missing one, or one after a gap, stays an entry of its own.
TEST(ListJson, FoldsRunsOfMissingDrives) {
    ScanReport report;
    for (const int drive : {1, 3, 4, 5, 7}) {
        report.probes.push_back(
            Probe(static_cast<std::int8_t>(drive), ProbeVerdict::NoSuchDrive, {}));
    }
    report.probes.insert(report.probes.begin() + 1, Probe(2, ProbeVerdict::NotUsb, {}));

    const json probes = ScanJson(report, std::nullopt).at("probes");

    ASSERT_EQ(probes.size(), 4u) << probes.dump();
    EXPECT_FALSE(probes[0].contains("last_drive"));
    EXPECT_EQ(probes[1].at("verdict"), "not-usb");
    EXPECT_EQ(probes[2].at("drive"), 3);
    EXPECT_EQ(probes[2].at("last_drive"), 5);
    EXPECT_EQ(probes[2].at("last_name"), "/dev/sg4");
    EXPECT_EQ(probes[2].at("description"), "drives 3 to 5 (/dev/sg2 to /dev/sg4): no such drive");
    EXPECT_EQ(probes[3].at("drive"), 7);
    EXPECT_FALSE(probes[3].contains("last_drive"));
}

}  // namespace
}  // namespace tarnwick::cli
