#include "platform/windows/PhysicalDriveProvider.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "FakeWin32Calls.h"

namespace tarnwick {
namespace {

using testing::FakeWin32Calls;
using testing::kDevice;

constexpr std::size_t kFixedPart = offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties);

// A descriptor as the system returns it: the fixed part, then `strings` at its end.
std::vector<std::uint8_t> Descriptor(STORAGE_BUS_TYPE bus, DWORD vendorOffset,
                                     const std::string& strings) {
    STORAGE_DEVICE_DESCRIPTOR fixed{};
    fixed.Version = sizeof fixed;
    fixed.BusType = bus;
    fixed.VendorIdOffset = vendorOffset;
    std::vector<std::uint8_t> bytes(kFixedPart + strings.size());
    fixed.Size = static_cast<DWORD>(bytes.size());
    std::memcpy(bytes.data(), &fixed, kFixedPart);
    std::memcpy(bytes.data() + kFixedPart, strings.data(), strings.size());
    return bytes;
}

// The vendor string counts only when it lies, NUL included, inside what was returned; a
// descriptor cut before its end of the fixed part tells nothing.
TEST(PhysicalDriveIdentity, TheVendorIsReadOnlyFromInsideTheReturnedBytes) {
    const DWORD at = kFixedPart;
    const std::string vortan("VORTAN  \0", 9);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool usb;
        std::optional<std::string> vendor;
    } cases[] = {
        {"the programmer", Descriptor(BusTypeUsb, at, vortan), true, "VORTAN  "},
        {"blanks kept", Descriptor(BusTypeUsb, at, std::string("vortan\0", 7)), true, "vortan"},
        {"another bus", Descriptor(BusTypeSata, at, vortan), false, "VORTAN  "},
        {"no offset", Descriptor(BusTypeUsb, 0, vortan), true, std::nullopt},
        {"offset at the end", Descriptor(BusTypeUsb, at + 9, vortan), true, std::nullopt},
        {"offset beyond", Descriptor(BusTypeUsb, at + 400, vortan), true, std::nullopt},
        {"no NUL", Descriptor(BusTypeUsb, at, "VORTAN  "), true, std::nullopt},
        {"empty", Descriptor(BusTypeUsb, at, std::string("\0", 1)), true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StorageIdentity identity = PhysicalDriveProvider::IdentityOf(c.bytes);
        EXPECT_EQ(identity.usb, c.usb);
        EXPECT_EQ(identity.vendor, c.vendor);
        EXPECT_FALSE(identity.usbDevice);
    }
    auto cut = Descriptor(BusTypeUsb, at, vortan);
    cut.resize(kFixedPart - 1);
    const StorageIdentity shortOne = PhysicalDriveProvider::IdentityOf(cut);
    EXPECT_FALSE(shortOne.usb);
    EXPECT_FALSE(shortOne.vendor);
}

// Drive n is \\.\PHYSICALDRIVEn for 0..126: drive 0 is a drive like any other on Windows.
TEST(PhysicalDrive, NamesDrivesZeroTo126) {
    const PhysicalDriveProvider drives;
    EXPECT_EQ(drives.DriveName(0), "\\\\.\\PHYSICALDRIVE0");
    EXPECT_EQ(drives.DriveName(126), "\\\\.\\PHYSICALDRIVE126");
    EXPECT_EQ(drives.DriveName(-1), "");
    EXPECT_EQ(drives.DriveName(127), "");
}

// What a person may name: the drives the search reaches (never 0), in any case.
TEST(PhysicalDrive, TakesTheNamesOfTheSearchedDrives) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"\\\\.\\PHYSICALDRIVE1", 1},  {"\\\\.\\PhysicalDrive126", 126},
        {"\\\\.\\PHYSICALDRIVE0", {}}, {"\\\\.\\PHYSICALDRIVE127", {}},
        {"\\\\.\\PHYSICALDRIVE", {}},  {"\\\\.\\PHYSICALDRIVE1x", {}},
        {"PHYSICALDRIVE1", {}},        {"/dev/sg0", {}}};
    for (const auto& [name, drive] : cases) {
        EXPECT_EQ(PhysicalDriveProvider::NumberOf(name), drive) << name;
    }
}

TEST(PhysicalDrive, OpensTheDriveAndAsksItsStandardDeviceProperty) {
    FakeWin32Calls calls;
    calls.descriptor = Descriptor(BusTypeUsb, kFixedPart, std::string("VORTAN  \0", 9));
    PhysicalDriveProvider drives(calls);
    OpenedDrive opened = drives.Open(0);
    ASSERT_TRUE(opened.device);
    EXPECT_FALSE(opened.fault) << opened.fault->Describe();
    EXPECT_EQ(calls.opened, std::vector<std::wstring>{L"\\\\.\\PHYSICALDRIVE0"});
    EXPECT_EQ(calls.query.PropertyId, StorageDeviceProperty);
    EXPECT_EQ(calls.query.QueryType, PropertyStandardQuery);
    ASSERT_TRUE(opened.identity);
    EXPECT_TRUE(opened.identity->usb);
    EXPECT_EQ(opened.identity->vendor, "VORTAN  ");
    opened.device.reset();
    EXPECT_EQ(calls.closed, std::vector<HANDLE>{kDevice});
}

// A drive that is not there is missing (the search goes on quietly); one that refuses access or
// cannot be asked is there but unusable, and says why.
TEST(PhysicalDrive, WhatCannotBeOpenedOrAskedSaysWhy) {
    const struct {
        DWORD openError, queryError;
        bool missing, device;
        const char* says;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, 0, true, false, "cannot open \\\\.\\PHYSICALDRIVE5"},
        {ERROR_ACCESS_DENIED, 0, false, false, "as administrator"},
        {0, ERROR_INVALID_FUNCTION, false, true, "cannot query the storage properties"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        FakeWin32Calls calls;
        calls.openError = c.openError;
        calls.callError = c.queryError;
        OpenedDrive opened = PhysicalDriveProvider(calls).Open(5);
        EXPECT_EQ(opened.missing, c.missing);
        EXPECT_EQ(opened.device != nullptr, c.device);
        EXPECT_FALSE(opened.identity);
        ASSERT_TRUE(opened.fault);
        EXPECT_NE(opened.fault->Describe().find(c.says), std::string::npos)
            << opened.fault->Describe();
    }
}

}  // namespace
}  // namespace tarnwick
