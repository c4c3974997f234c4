#include "link/ProgrammerDiscovery.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FakeDrives.h"

namespace tarnwick {
namespace {

using test::FakeDevice;
using test::FakeDriveProvider;
using test::QueuedChangeSource;
using ::testing::ElementsAre;

// The presences reported since the last scan began, true for a programmer.
const std::vector<bool> kPresent = {true};
const std::vector<bool> kAbsent = {false};

// A drive's identity that has nothing to say about where it sits on USB.
StorageIdentity Identity(bool usb, std::optional<std::string> vendor) {
    return StorageIdentity{usb, std::move(vendor), std::nullopt, std::string(), std::nullopt};
}

std::vector<std::int8_t> Drives(int from, int to, std::vector<std::int8_t> drives = {}) {
    for (int n = from; n <= to; ++n) {
        drives.push_back(static_cast<std::int8_t>(n));
    }
    return drives;
}

class DiscoveryTest : public ::testing::Test {
  protected:
    // The drive the link points at, by the fake device's own number; -1 for none.
    int CurrentDevice() const {
        const auto device = link.Device();
        return device ? static_cast<const FakeDevice&>(*device).drive : -1;
    }

    // Starts a scan's bookkeeping afresh, then scans and updates the status.
    void Rescan() {
        drives.attempts.clear();
        reported.clear();
        discovery.Rescan();
    }

    FakeDriveProvider drives;
    ProgrammerLink link;
    std::vector<bool> reported;
    ProgrammerDiscovery discovery{
        link, drives, [this](const ProgrammerPresence& p) { reported.push_back(p.has_value()); }};
};

// A laptop whose disks are NVMe: the programmer is the only SCSI device, /dev/sg0.
TEST_F(DiscoveryTest, TheProgrammerAloneOnSg0IsDrive1AndOnlyItsHandleStaysOpen) {
    drives.PlugProgrammer(1);

    Rescan();

    EXPECT_EQ(drives.attempts, Drives(1, 126)) << "drive 0 names no node and is never opened";
    EXPECT_EQ(link.DriveNumber(), 1);
    EXPECT_EQ(CurrentDevice(), 1);
    EXPECT_EQ(reported, kPresent);
    EXPECT_EQ(drives.stillOpen, 1) << "only the programmer's handle stays open";
}

TEST_F(DiscoveryTest, AnUnpluggedProgrammerIsLetGoOnceTheJobLetsGoToo) {
    drives.PlugProgrammer(2);
    Rescan();
    auto jobsDevice = link.Device();
    drives.Unplug(2);

    Rescan();

    EXPECT_EQ(link.Device(), nullptr);
    EXPECT_EQ(link.DriveNumber(), 0);
    EXPECT_EQ(reported, kAbsent);
    EXPECT_EQ(drives.attempts.front(), 2) << "the re-check found it gone";
    EXPECT_EQ(std::count(drives.attempts.begin(), drives.attempts.end(), 0), 0)
        << "with the programmer gone the search starts without one and skips drive 0";
    EXPECT_EQ(drives.stillOpen, 1) << "closed under a running job";
    jobsDevice.reset();
    EXPECT_EQ(drives.stillOpen, 0);
}

TEST_F(DiscoveryTest, AProgrammerPluggedInAgainUnderTheSameNumberBetweenTwoScansIsOpenedAfresh) {
    drives.PlugProgrammer(1, UsbDeviceAddress{1, 5}, "1-2", "TW-a");
    Rescan();
    auto jobsDevice = link.Device();
    drives.Unplug(1);
    drives.PlugProgrammer(1, UsbDeviceAddress{1, 6}, "1-3.1", std::nullopt);

    Rescan();

    EXPECT_NE(link.Device(), jobsDevice) << "every command would go to the unplugged device";
    EXPECT_EQ(CurrentDevice(), 1);
    EXPECT_EQ(link.UsbDevice(), (UsbDeviceAddress{1, 6}));
    const ProgrammerPresence presence = discovery.Presence();
    ASSERT_TRUE(presence);
    EXPECT_EQ(presence->usbDevice, (UsbDeviceAddress{1, 6}));
    EXPECT_EQ(presence->usbPort, "1-3.1") << "the new device's port, not the old one's";
    EXPECT_EQ(presence->usbSerial, std::nullopt);
    EXPECT_EQ(reported, kPresent);
    jobsDevice.reset();  // that the job's reference kept it open is the unplug case's
    EXPECT_EQ(drives.stillOpen, 1) << "the old device closed once the job let go";

    const PassThrough* current = link.Device().get();
    Rescan();
    EXPECT_EQ(link.Device().get(), current) << "the same USB device is kept";
    EXPECT_EQ(drives.stillOpen, 1);
}

TEST_F(DiscoveryTest, OnlyAnOpenedUsbDriveWithExactlyTheProgrammersVendorQualifies) {
    using Drive = FakeDriveProvider::Drive;
    const StorageIdentity programmer = Identity(true, "VORTAN  ");
    const struct {
        const char* what;
        std::optional<Drive> drive;
        ProbeVerdict verdict;
    } cases[] = {
        {"the programmer", Drive{true, true, programmer}, ProbeVerdict::Programmer},
        {"lower case", Drive{true, true, Identity(true, "vortan  ")}, ProbeVerdict::OtherVendor},
        {"without the blanks", Drive{true, true, Identity(true, "VORTAN")},
         ProbeVerdict::OtherVendor},
        {"something after the blanks", Drive{true, true, Identity(true, "VORTAN  X")},
         ProbeVerdict::OtherVendor},
        {"no vendor", Drive{true, true, Identity(true, std::nullopt)}, ProbeVerdict::OtherVendor},
        {"another bus", Drive{true, true, Identity(false, "VORTAN  ")}, ProbeVerdict::NotUsb},
        {"nothing there", std::nullopt, ProbeVerdict::NoSuchDrive},
        {"refuses to open", Drive{false, true, programmer}, ProbeVerdict::CannotOpen},
        {"cannot be identified", Drive{true, false, programmer}, ProbeVerdict::CannotIdentify},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        drives.Unplug(7);
        if (c.drive) {
            drives.Plug(7, *c.drive);
        }
        ProbeReport report;

        const auto device = discovery.ProbeDrive(7, &report);

        EXPECT_EQ(device != nullptr, c.verdict == ProbeVerdict::Programmer);
        EXPECT_EQ(report.verdict, c.verdict);
        EXPECT_EQ(drives.stillOpen, device ? 1 : 0) << "a rejected drive is closed";
    }
}

TEST_F(DiscoveryTest, ABurstOfDeviceChangesRunsOneScanAfterTheObserverSawEachOfThem) {
    drives.PlugProgrammer(1);
    Rescan();
    QueuedChangeSource source;
    source.queued = {{"add", "usb", "1-4"}, {"add", "usb", "1-4.1"}, {"remove", "scsi", "3:0:0:0"}};
    std::vector<std::string> seen;
    drives.attempts.clear();
    reported.clear();

    const auto count = discovery.FollowDeviceChanges(
        source, [&](const DeviceChange& change) { seen.push_back(change.name); });

    EXPECT_EQ(count, 3u);
    EXPECT_THAT(seen, ElementsAre("1-4", "1-4.1", "3:0:0:0"));
    EXPECT_EQ(drives.attempts, Drives(2, 126, {1, 0})) << "one re-check and one search";
    EXPECT_EQ(reported, kPresent);

    reported.clear();
    EXPECT_EQ(discovery.FollowDeviceChanges(source), 0u);
    EXPECT_TRUE(reported.empty()) << "nothing pending, no scan";
}

}  // namespace
}  // namespace tarnwick
