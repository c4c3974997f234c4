#pragma once

#include <gtest/gtest.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/windows/Win32Calls.h"

namespace tarnwick::testing {

inline const HANDLE kDevice = reinterpret_cast<HANDLE>(0x1234);

// Plays the system: records what was asked and answers as each test says.
struct FakeWin32Calls : Win32Calls {
    HANDLE Open(const wchar_t* path) override {
        opened.emplace_back(path);
        if (openError != 0) {
            error = openError;
            return INVALID_HANDLE_VALUE;
        }
        return kDevice;
    }
    BOOL IoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                   DWORD* returned) override {
        EXPECT_EQ(device, kDevice);
        codes.push_back(code);
        *returned = 0;
        if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT) {
            EXPECT_EQ(in, out) << "the driver answers in the block it was given";
            EXPECT_EQ(inSize, outSize);
            std::memcpy(&seen, in, sizeof seen);
            seenSize = inSize;
            if (!passThrough(*static_cast<SCSI_PASS_THROUGH_DIRECT*>(out),
                             static_cast<std::uint8_t*>(out))) {
                error = callError;
                return FALSE;
            }
            *returned = inSize;
            return TRUE;
        }
        if (code == IOCTL_STORAGE_QUERY_PROPERTY) {
            EXPECT_EQ(inSize, sizeof(STORAGE_PROPERTY_QUERY));
            std::memcpy(&query, in, sizeof query);
            if (callError != 0) {
                error = callError;
                return FALSE;
            }
            const std::size_t n = std::min<std::size_t>(descriptor.size(), outSize);
            std::memcpy(out, descriptor.data(), n);
            *returned = static_cast<DWORD>(n);
            return TRUE;
        }
        ADD_FAILURE() << "unexpected control code " << code;
        return FALSE;
    }
    BOOL Close(HANDLE handle) override {
        closed.push_back(handle);
        return TRUE;
    }
    DWORD LastError() override { return error; }

    // The answer to a pass-through: fills in what the driver would; false fails the call with
    // callError.
    std::function<bool(SCSI_PASS_THROUGH_DIRECT&, std::uint8_t* block)> passThrough =
        [](SCSI_PASS_THROUGH_DIRECT&, std::uint8_t*) { return true; };
    DWORD openError = 0;
    DWORD callError = 0;
    std::vector<std::uint8_t> descriptor;  // what the property query returns, byte for byte

    DWORD error = 0;
    std::vector<std::wstring> opened;
    std::vector<DWORD> codes;
    std::vector<HANDLE> closed;
    SCSI_PASS_THROUGH_DIRECT seen{};
    DWORD seenSize = 0;
    STORAGE_PROPERTY_QUERY query{};
};

}  // namespace tarnwick::testing
