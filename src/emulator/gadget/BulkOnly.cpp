#include "emulator/gadget/BulkOnly.h"

#include <algorithm>
#include <string>
#include <utility>

namespace tarnwick::gadget {

namespace {

std::uint32_t GetLe32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) |
           (std::uint32_t{b[at + 2]} << 16) | (std::uint32_t{b[at + 3]} << 24);
}

void PutLe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    b[at + 2] = static_cast<std::uint8_t>(v >> 16);
    b[at + 3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace

Result<CommandBlockWrapper> ParseCbw(std::span<const std::uint8_t> bytes) {
    auto invalid = [](std::string text) { return Fail(std::move(text)); };
    if (bytes.size() != kCbwSize) {
        return invalid("CBW of " + std::to_string(bytes.size()) + " bytes, not 31");
    }
    if (GetLe32(bytes, 0) != kCbwSignature) {
        return invalid("CBW without the USBC signature");
    }
    CommandBlockWrapper cbw;
    cbw.tag = GetLe32(bytes, 4);
    cbw.dataTransferLength = GetLe32(bytes, 8);
    const std::uint8_t flags = bytes[12];
    if ((flags & 0x7F) != 0) {
        return invalid("CBW with reserved flag bits set");
    }
    cbw.directionIn = (flags & 0x80) != 0;
    if ((bytes[13] & 0xF0) != 0 || (bytes[14] & 0xE0) != 0) {
        return invalid("CBW with reserved LUN or length bits set");
    }
    cbw.lun = bytes[13];
    cbw.cbLength = bytes[14];
    if (cbw.cbLength < 1 || cbw.cbLength > 16) {
        return invalid("CBW with a command block of " + std::to_string(cbw.cbLength) + " bytes");
    }
    std::copy_n(bytes.begin() + 15, 16, cbw.cb.begin());
    return cbw;
}

std::array<std::uint8_t, kCbwSize> EncodeCbw(const CommandBlockWrapper& cbw) {
    std::array<std::uint8_t, kCbwSize> out{};
    PutLe32(out, 0, kCbwSignature);
    PutLe32(out, 4, cbw.tag);
    PutLe32(out, 8, cbw.dataTransferLength);
    out[12] = cbw.directionIn ? 0x80 : 0x00;
    out[13] = cbw.lun;
    out[14] = cbw.cbLength;
    std::copy(cbw.cb.begin(), cbw.cb.end(), out.begin() + 15);
    return out;
}

std::array<std::uint8_t, kCswSize> EncodeCsw(std::uint32_t tag, std::uint32_t residue,
                                             CswStatus status) {
    std::array<std::uint8_t, kCswSize> out{};
    PutLe32(out, 0, kCswSignature);
    PutLe32(out, 4, tag);
    PutLe32(out, 8, residue);
    out[12] = static_cast<std::uint8_t>(status);
    return out;
}

}  // namespace tarnwick::gadget
