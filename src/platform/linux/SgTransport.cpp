#include "platform/linux/SgTransport.h"

#include <fcntl.h>
#include <scsi/sg.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>

namespace tarnwick {

namespace {

// The driver byte's "sense data available" flag: information, not an error. (The userspace
// <scsi/scsi.h> no longer defines the driver bytes, and its status codes are the shifted form.)
constexpr unsigned kDriverSense = 0x08;
constexpr unsigned kDriverTimeout = 0x06;
constexpr unsigned kHostTimeOut = 0x03;
constexpr unsigned char kStatusGood = 0x00;

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02x", value);
    return text;
}

std::string NoAnswerWithin(unsigned milliseconds) {
    return ", no answer within " + std::to_string(milliseconds) + " ms";
}

const char* HostStatusName(unsigned status) {
    static constexpr std::array<const char*, 16> names = {"DID_OK",
                                                          "DID_NO_CONNECT",
                                                          "DID_BUS_BUSY",
                                                          "DID_TIME_OUT",
                                                          "DID_BAD_TARGET",
                                                          "DID_ABORT",
                                                          "DID_PARITY",
                                                          "DID_ERROR",
                                                          "DID_RESET",
                                                          "DID_BAD_INTR",
                                                          "DID_PASSTHROUGH",
                                                          "DID_SOFT_ERROR",
                                                          "DID_IMM_RETRY",
                                                          "DID_REQUEUE",
                                                          "DID_TRANSPORT_DISRUPTED",
                                                          "DID_TRANSPORT_FAILFAST"};
    return status < names.size() ? names[status] : "unknown";
}

// The driver byte: a code in bits 0..2, DRIVER_SENSE as a flag in bit 3 beside it.
std::string DriverStatusName(unsigned status) {
    static constexpr std::array<const char*, 8> names = {
        "DRIVER_OK",    "DRIVER_BUSY",    "DRIVER_SOFT",    "DRIVER_MEDIA",
        "DRIVER_ERROR", "DRIVER_INVALID", "DRIVER_TIMEOUT", "DRIVER_HARD"};
    std::string name = names[status & 0x07];
    if ((status & kDriverSense) != 0) {
        name += "|DRIVER_SENSE";
    }
    if ((status & ~0x0fu) != 0) {
        name += "|suggestion";
    }
    return name;
}

unsigned TimeoutMilliseconds(std::chrono::milliseconds timeout) {
    return static_cast<unsigned>(
        std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, UINT_MAX));
}

}  // namespace

namespace {

// The errno's text, and for a refused access how to get it.
Fault SysFault(int error) {
    std::string cause = SysCalls::ErrorText(error);
    if (error == EACCES || error == EPERM) {
        cause += "; ";
        cause += SgTransport::PermissionHint();
    }
    return Fault::Because(std::move(cause), error);
}

}  // namespace

Result<std::unique_ptr<SgTransport>> SgTransport::Open(SysCalls& sys, const std::string& path) {
    // Non-blocking for the open only: without it the open would wait for another program's
    // exclusive use of the device or for the SCSI error handling to finish.
    const int fd = sys.Open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Fail(SysFault(errno).Within("cannot open " + path));
    }
    auto transport = std::make_unique<SgTransport>(sys, fd, path);
    const int flags = sys.GetFlags(fd);
    if (flags < 0 || sys.SetFlags(fd, flags & ~O_NONBLOCK) < 0) {
        // `transport` closes the descriptor
        return Fail(SysFault(errno).Within("cannot set the flags of " + path));
    }
    return transport;
}

SgTransport::SgTransport(SysCalls& sys_, int fd_, std::string path_)
    : sys(sys_), fd(fd_), path(std::move(path_)) {}

SgTransport::~SgTransport() {
    // Not retried on EINTR: Linux has released the descriptor either way.
    sys.Close(fd);
}

Result<void> SgTransport::Exchange(const PassThroughRequest& request) {
    // Built only for a failure: a page is two exchanges, and the good ones need no text.
    const auto where = [this] { return "SG_IO on " + path; };
    if (request.buffer == nullptr && request.transferLength != 0) {
        return Fail(
            Fault::Because("no buffer for " + std::to_string(request.transferLength) + " bytes",
                           EINVAL)
                .Within(where()));
    }

    CommandBlock cdb = request.cdb;  // sg_io_hdr wants a non-const pointer
    std::array<unsigned char, kSenseLength> sense{};
    sg_io_hdr header{};
    header.interface_id = 'S';
    header.dxfer_direction =
        request.direction == DataDirection::In ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    // Said explicitly: from the opcode group of 0xFB..0xFD the kernel would assume 10 bytes.
    header.cmd_len = static_cast<unsigned char>(cdb.size());
    header.cmdp = cdb.data();
    header.mx_sb_len = kSenseLength;
    header.sbp = sense.data();
    header.dxfer_len = request.transferLength;
    header.dxferp = request.buffer;  // the data phase goes straight to the caller's buffer
    header.timeout = TimeoutMilliseconds(request.timeout);

    if (sys.SgIo(fd, &header) < 0) {
        return Fail(SysFault(errno).Within(where()));
    }

    Fault fault;
    ScsiDetail& out = fault.scsi;
    out.hostStatus = header.host_status;
    out.driverStatus = header.driver_status;
    out.scsiStatus = header.status;
    out.senseLength = std::min<std::uint8_t>(header.sb_len_wr, kSenseLength);
    std::copy_n(sense.begin(), out.senseLength, out.sense.begin());

    if (header.host_status != 0) {
        fault.cause = "host adapter status " + Hex(header.host_status) + " (" +
                      HostStatusName(header.host_status) + ")";
        if (header.host_status == kHostTimeOut) {
            fault.cause += NoAnswerWithin(header.timeout);
        }
    } else if ((header.driver_status & ~kDriverSense) != 0) {
        fault.cause = "driver status " + Hex(header.driver_status) + " (" +
                      DriverStatusName(header.driver_status) + ")";
        if ((header.driver_status & 0x07) == kDriverTimeout) {
            fault.cause += NoAnswerWithin(header.timeout);
        }
    } else if (header.status != kStatusGood) {
        // Without this a CHECK CONDITION would pass, and the reply buffer would hold nothing
        // the device sent.
        fault.cause = ScsiStatusName(header.status);
    } else if (header.resid > 0) {
        // A short data-in phase leaves stale bytes at the end of the caller's buffer; a short
        // page write left part of the page unsent. Neither is the exchange that was asked for.
        out.residual = std::min(static_cast<std::uint32_t>(header.resid), header.dxfer_len);
        fault.cause = "short transfer, " + std::to_string(header.dxfer_len - out.residual) +
                      " of " + std::to_string(header.dxfer_len) + " bytes moved";
    } else {
        return {};
    }
    return Fail(std::move(fault).Within(where()));
}

const char* SgTransport::PermissionHint() {
    return "install the udev rule 70-tarnwick-programmer.rules (into /etc/udev/rules.d or "
           "/usr/lib/udev/rules.d), run 'udevadm control --reload' and plug the programmer in "
           "again, or run as root";
}

bool SgTransport::IsMissingDevice(int error) {
    return error == ENOENT || error == ENXIO || error == ENODEV;
}

}  // namespace tarnwick
