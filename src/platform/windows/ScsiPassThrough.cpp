#include "platform/windows/ScsiPassThrough.h"

#include <ntddscsi.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <utility>

namespace tarnwick {

namespace {

constexpr unsigned char kStatusGood = 0x00;

// The request and the sense area in one block: the driver finds the sense by its offset.
struct PassThroughWithSense {
    SCSI_PASS_THROUGH_DIRECT request;
    ULONG align;
    std::array<UCHAR, ScsiPassThrough::kSenseLength> sense;
};

// Whole seconds, rounded up: a time-out never comes earlier than asked.
ULONG TimeoutSeconds(std::chrono::milliseconds timeout) {
    const auto seconds =
        (std::max<std::chrono::milliseconds::rep>(timeout.count(), 1) + 999) / 1000;
    return static_cast<ULONG>(std::min<std::chrono::milliseconds::rep>(seconds, 24 * 60 * 60));
}

std::wstring Widen(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

}  // namespace

Fault ScsiPassThrough::CallFault(DWORD error) {
    const int number = Win32Calls::ErrnoOf(error);
    std::string cause = Win32Calls::ErrorText(error);
    if (number == EACCES) {
        cause +=
            "; run tarnwick-cli as administrator (from a command prompt opened with "
            "\"Run as administrator\")";
    } else if (number == ENODEV) {
        cause += "; the programmer is not there (any more)";
    }
    return Fault::Because(std::move(cause), number);
}

Result<std::unique_ptr<ScsiPassThrough>> ScsiPassThrough::Open(Win32Calls& calls,
                                                               const std::string& path) {
    const HANDLE handle = calls.Open(Widen(path).c_str());
    if (handle == INVALID_HANDLE_VALUE) {
        return Fail(CallFault(calls.LastError()).Within("cannot open " + path));
    }
    return std::make_unique<ScsiPassThrough>(calls, handle, path);
}

ScsiPassThrough::ScsiPassThrough(Win32Calls& calls_, HANDLE handle_, std::string path_)
    : calls(calls_), handle(handle_), path(std::move(path_)) {}

ScsiPassThrough::~ScsiPassThrough() {
    calls.Close(handle);
}

Result<void> ScsiPassThrough::Exchange(const PassThroughRequest& request) {
    const auto where = [this] { return "SCSI pass-through on " + path; };
    if (request.buffer == nullptr && request.transferLength != 0) {
        return Fail(
            Fault::Because("no buffer for " + std::to_string(request.transferLength) + " bytes",
                           EINVAL)
                .Within(where()));
    }

    PassThroughWithSense block{};
    SCSI_PASS_THROUGH_DIRECT& sptd = block.request;
    sptd.Length = sizeof sptd;
    sptd.CdbLength = static_cast<UCHAR>(request.cdb.size());
    std::copy(request.cdb.begin(), request.cdb.end(), sptd.Cdb);
    sptd.DataIn = request.direction == DataDirection::In ? SCSI_IOCTL_DATA_IN : SCSI_IOCTL_DATA_OUT;
    sptd.DataTransferLength = request.transferLength;
    sptd.DataBuffer = request.buffer;  // the data phase goes straight to the caller's buffer
    sptd.SenseInfoLength = kSenseLength;
    sptd.SenseInfoOffset = offsetof(PassThroughWithSense, sense);
    sptd.TimeOutValue = TimeoutSeconds(request.timeout);

    DWORD returned = 0;
    if (!calls.IoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &block, sizeof block, &block,
                         sizeof block, &returned)) {
        return Fail(CallFault(calls.LastError()).Within(where()));
    }

    Fault fault;
    ScsiDetail& out = fault.scsi;
    out.scsiStatus = sptd.ScsiStatus;
    out.senseLength = std::min<std::uint8_t>(sptd.SenseInfoLength, kSenseLength);
    std::copy_n(block.sense.begin(), out.senseLength, out.sense.begin());

    if (sptd.ScsiStatus != kStatusGood) {
        // Without this a CHECK CONDITION would pass, and the reply buffer would hold nothing
        // the device sent.
        fault.cause = ScsiStatusName(sptd.ScsiStatus);
    } else if (sptd.DataTransferLength != request.transferLength) {
        // A short data-in phase leaves stale bytes at the end of the caller's buffer; a short
        // page write left part of the page unsent.
        const std::uint32_t moved =
            std::min<std::uint32_t>(sptd.DataTransferLength, request.transferLength);
        out.residual = request.transferLength - moved;
        fault.cause = "short transfer, " + std::to_string(moved) + " of " +
                      std::to_string(request.transferLength) + " bytes moved";
    } else {
        return {};
    }
    return Fail(std::move(fault).Within(where()));
}

}  // namespace tarnwick
