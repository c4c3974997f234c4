#include "emulator/gadget/ScsiTarget.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/CommandBlock.h"

namespace tarnwick::gadget {

namespace {

constexpr std::uint8_t kTestUnitReady = 0x00;
constexpr std::uint8_t kRequestSense = 0x03;
constexpr std::uint8_t kInquiry = 0x12;
constexpr std::uint8_t kModeSense6 = 0x1A;
constexpr std::uint8_t kStartStopUnit = 0x1B;
constexpr std::uint8_t kPreventAllowMediumRemoval = 0x1E;
constexpr std::uint8_t kReadCapacity10 = 0x25;
constexpr std::uint8_t kRead10 = 0x28;
constexpr std::uint8_t kWrite10 = 0x2A;
constexpr std::uint8_t kSynchronizeCache10 = 0x35;
constexpr std::uint8_t kModeSense10 = 0x5A;

constexpr std::uint8_t kCachingPage = 0x08;
constexpr std::uint8_t kAllPages = 0x3F;
constexpr std::size_t kInquiryLength = 36;

std::uint32_t Be16(const std::array<std::uint8_t, 16>& cb, std::size_t at) {
    return (std::uint32_t{cb[at]} << 8) | cb[at + 1];
}

std::uint32_t Be32(const std::array<std::uint8_t, 16>& cb, std::size_t at) {
    return (Be16(cb, at) << 16) | Be16(cb, at + 2);
}

void PutBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// `text` in a fixed-width field of the INQUIRY data: blank-padded, never terminated.
void PutField(std::vector<std::uint8_t>& out, std::size_t at, std::size_t width,
              const std::string& text) {
    for (std::size_t i = 0; i < width; ++i) {
        out[at + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
    }
}

std::vector<std::uint8_t> Truncated(std::vector<std::uint8_t> data, std::uint32_t allocation) {
    if (data.size() > allocation) {
        data.resize(allocation);
    }
    return data;
}

}  // namespace

std::array<std::uint8_t, 18> FixedSense(const Sense& s) {
    std::array<std::uint8_t, 18> out{};
    out[0] = 0x70;  // current error, fixed format
    out[2] = s.key;
    out[7] = 10;  // additional sense length
    out[12] = s.asc;
    out[13] = s.ascq;
    return out;
}

ScsiTarget::ScsiTarget(PassThrough& programmer_, Identity identity_, std::uint32_t diskBlocks)
    : programmer(programmer_),
      identity(std::move(identity_)),
      disk(std::size_t{diskBlocks} * kBlockSize) {}

bool ScsiTarget::IsVendorCommand(std::uint8_t opcode) {
    return opcode == kOpPageRead || opcode == kOpPageWrite || opcode == kOpStatus;
}

Intent ScsiTarget::IntentFor(const CommandBlockWrapper& cbw) const {
    const auto& cb = cbw.cb;
    auto in = [](std::size_t length) {
        return Intent{length > 0 ? Direction::In : Direction::None,
                      static_cast<std::uint32_t>(length)};
    };
    if (IsVendorCommand(cb[0])) {
        if (cbw.dataTransferLength > kMaxVendorTransfer) {
            return {};
        }
        return Intent{cbw.HostDirection(), cbw.dataTransferLength};
    }
    switch (cb[0]) {
        case kRequestSense:
            return in(std::min<std::size_t>(18, cb[4]));
        case kInquiry:
            return in(InquiryData(cbw).value_or(std::vector<std::uint8_t>{}).size());
        case kReadCapacity10:
            return in(8);
        case kModeSense6:
        case kModeSense10:
            return in(ModeSenseData(cbw, cb[0] == kModeSense10)
                          .value_or(std::vector<std::uint8_t>{})
                          .size());
        case kRead10:
        case kWrite10: {
            const std::optional<DiskSpan> span = DiskRange(cbw);
            if (!span || span->length == 0) {
                return {};
            }
            return Intent{cb[0] == kRead10 ? Direction::In : Direction::Out,
                          static_cast<std::uint32_t>(span->length)};
        }
        default:
            return {};
    }
}

CommandResult ScsiTarget::Execute(const CommandBlockWrapper& cbw, std::span<std::uint8_t> dataOut) {
    const auto& cb = cbw.cb;
    if (IsVendorCommand(cb[0])) {
        return Vendor(cbw, dataOut);
    }
    if (cb[0] == kRequestSense) {
        const auto bytes = FixedSense(sense);
        sense = {};
        return {Outcome::Good, Truncated({bytes.begin(), bytes.end()}, cb[4])};
    }
    // Any other command replaces the sense of the one before.
    sense = {};
    switch (cb[0]) {
        case kTestUnitReady:
        case kPreventAllowMediumRemoval:
        case kSynchronizeCache10:
        case kStartStopUnit:
            return {};
        case kInquiry:
            return Answer(InquiryData(cbw));
        case kReadCapacity10: {
            std::vector<std::uint8_t> data(8);
            PutBe32(data.data(), static_cast<std::uint32_t>(disk.size() / kBlockSize - 1));
            PutBe32(data.data() + 4, kBlockSize);
            return {Outcome::Good, std::move(data)};
        }
        case kModeSense6:
        case kModeSense10:
            return Answer(ModeSenseData(cbw, cb[0] == kModeSense10));
        case kRead10:
        case kWrite10: {
            const std::optional<DiskSpan> span = DiskRange(cbw);
            if (!span) {
                return Fail(kSenseIllegalRequest, kAscLbaOutOfRange);
            }
            const auto at = disk.begin() + static_cast<std::ptrdiff_t>(span->offset);
            if (cb[0] == kRead10) {
                return {Outcome::Good, std::vector<std::uint8_t>(
                                           at, at + static_cast<std::ptrdiff_t>(span->length))};
            }
            std::copy_n(dataOut.begin(), std::min<std::size_t>(dataOut.size(), span->length), at);
            return {};
        }
        default:
            return Fail(kSenseIllegalRequest, kAscInvalidOpcode);
    }
}

CommandResult ScsiTarget::Vendor(const CommandBlockWrapper& cbw, std::span<std::uint8_t> dataOut) {
    sense = {};
    if (cbw.dataTransferLength > kMaxVendorTransfer) {
        return Fail(kSenseIllegalRequest, kAscInvalidFieldInCdb);
    }
    PassThroughRequest request;
    request.cdb = cbw.cb;
    request.direction =
        cbw.HostDirection() == Direction::Out ? DataDirection::Out : DataDirection::In;
    request.transferLength = cbw.dataTransferLength;
    CommandResult result;
    if (request.direction == DataDirection::In) {
        result.dataIn.resize(cbw.dataTransferLength);
        request.buffer = result.dataIn.empty() ? nullptr : result.dataIn.data();
    } else {
        request.buffer = dataOut.empty() ? nullptr : dataOut.data();
    }
    const auto exchanged = programmer.Exchange(request);
    if (exchanged) {
        return result;
    }
    const Fault& fault = exchanged.error();
    // A reply cut short is not an error of the device: the bytes that moved go back as a short
    // data-in with GOOD status, and the host sees the rest missing as its residue.
    if (request.direction == DataDirection::In && fault.sysErrno == 0 &&
        fault.scsi.scsiStatus == 0 && fault.scsi.residual > 0 &&
        fault.scsi.residual <= request.transferLength) {
        result.dataIn.resize(request.transferLength - fault.scsi.residual);
        return result;
    }
    result.dataIn.clear();
    if (fault.sysErrno == ETIMEDOUT) {
        result.outcome = Outcome::NoAnswer;
        return result;
    }
    if (fault.sysErrno == ENODEV) {
        result.outcome = Outcome::DeviceGone;
        return result;
    }
    result.outcome = Outcome::CheckCondition;
    if (fault.scsi.senseLength >= 14) {
        sense = {static_cast<std::uint8_t>(fault.scsi.sense[2] & 0x0F), fault.scsi.sense[12],
                 fault.scsi.sense[13]};
    } else {
        sense = {kSenseHardwareError, kAscInternalTargetFailure, 0};
    }
    return result;
}

ScsiTarget::Reply ScsiTarget::InquiryData(const CommandBlockWrapper& cbw) const {
    const std::unexpected<Sense> invalidField(
        Sense{kSenseIllegalRequest, kAscInvalidFieldInCdb, 0});
    const auto& cb = cbw.cb;
    const std::uint32_t allocation = Be16(cb, 3);
    if ((cb[1] & 0x01) != 0) {
        // Vital product data: only the list of supported pages, which names itself.
        if (cb[2] != 0x00) {
            return invalidField;
        }
        return Truncated({0x00, 0x00, 0x00, 0x01, 0x00}, allocation);
    }
    if (cb[2] != 0) {
        return invalidField;  // a page code without EVPD
    }
    std::vector<std::uint8_t> data(kInquiryLength);
    data[0] = 0x00;  // direct-access block device
    data[1] = 0x80;  // removable medium, as USB programmers and sticks report
    data[2] = 0x02;  // SCSI-2, as most USB mass-storage devices claim
    data[3] = 0x02;  // response data format
    data[4] = static_cast<std::uint8_t>(kInquiryLength - 5);
    PutField(data, 8, 8, identity.vendor);
    PutField(data, 16, 16, identity.product);
    PutField(data, 32, 4, identity.revision);
    return Truncated(std::move(data), allocation);
}

ScsiTarget::Reply ScsiTarget::ModeSenseData(const CommandBlockWrapper& cbw, bool tenByte) const {
    const auto& cb = cbw.cb;
    const std::uint8_t pageControl = cb[2] >> 6;
    const std::uint8_t page = cb[2] & 0x3F;
    const std::uint32_t allocation = tenByte ? Be16(cb, 7) : cb[4];
    if (pageControl == 3) {
        return std::unexpected(Sense{kSenseIllegalRequest, kAscSavingNotSupported, 0});
    }
    if (page != kCachingPage && page != kAllPages) {
        return std::unexpected(Sense{kSenseIllegalRequest, kAscInvalidFieldInCdb, 0});
    }
    // No block descriptors, not write protected, and the caching page with write-back caching
    // off: every write reaches the RAM disk at once.
    const std::size_t header = tenByte ? 8 : 4;
    std::vector<std::uint8_t> data(header + 20);
    data[header] = kCachingPage;
    data[header + 1] = 18;
    const std::size_t length = data.size() - (tenByte ? 2 : 1);
    if (tenByte) {
        data[0] = static_cast<std::uint8_t>(length >> 8);
        data[1] = static_cast<std::uint8_t>(length);
    } else {
        data[0] = static_cast<std::uint8_t>(length);
    }
    return Truncated(std::move(data), allocation);
}

std::optional<ScsiTarget::DiskSpan> ScsiTarget::DiskRange(const CommandBlockWrapper& cbw) const {
    const DiskSpan span{std::uint64_t{Be32(cbw.cb, 2)} * kBlockSize,
                        std::uint64_t{Be16(cbw.cb, 7)} * kBlockSize};
    if (span.offset + span.length > disk.size()) {
        return std::nullopt;
    }
    return span;
}

CommandResult ScsiTarget::Answer(Reply reply) {
    if (!reply) {
        return Fail(reply.error().key, reply.error().asc, reply.error().ascq);
    }
    return {Outcome::Good, std::move(*reply)};
}

CommandResult ScsiTarget::Fail(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    sense = {key, asc, ascq};
    return {Outcome::CheckCondition, {}};
}

}  // namespace tarnwick::gadget
