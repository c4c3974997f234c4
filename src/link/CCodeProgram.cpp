#include "link/CCodeProgram.h"

#include <cstdio>
#include <utility>

#include "link/Crc16.h"

namespace tarnwick {

void CCodeProgram::SetDevice(std::shared_ptr<PassThrough> device) {
    deviceHandle = std::move(device);
}

Result<void> CCodeProgram::ReadFlash(std::int32_t address, std::uint8_t* buffer,
                                     std::int32_t length) {
    if (length < 0 || (length > 0 && buffer == nullptr)) {
        return Fail("page read with an invalid buffer");
    }
    commandBlock =
        MakePageRead(static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(length));
    return PassThroughIn(static_cast<std::uint32_t>(length), buffer);
}

Result<void> CCodeProgram::WriteFlash(std::int32_t address, std::int32_t length,
                                      const std::uint8_t* data) {
    if (length < 0 || (length > 0 && data == nullptr)) {
        return Fail("page write with an invalid buffer");
    }
    commandBlock = MakePageWrite(static_cast<std::uint32_t>(address),
                                 static_cast<std::uint32_t>(length), CalcCrc16(data, length));
    return PassThroughOut(static_cast<std::uint32_t>(length), data);
}

Result<void> CCodeProgram::QueryStatus(std::uint8_t subCode, std::int32_t address,
                                       std::int32_t length) {
    // The reply lands in replyBuffer; a longer transfer would run past it.
    if (length < 0 || static_cast<std::size_t>(length) > replyBuffer.size()) {
        return Fail("status query longer than the reply buffer");
    }
    // Cleared so that a reply that never arrived cannot be read as the previous one.
    replyBuffer.fill(0);
    commandBlock = MakeStatusQuery(subCode, static_cast<std::uint32_t>(address),
                                   static_cast<std::uint32_t>(length));
    return PassThroughIn(static_cast<std::uint32_t>(length), replyBuffer.data());
}

Result<void> CCodeProgram::EraseBlock(std::int32_t address) {
    replyBuffer.fill(0);
    commandBlock = MakeBlockErase(static_cast<std::uint32_t>(address));
    if (auto sent = PassThroughIn(kReplyLength, replyBuffer.data()); !sent) {
        return sent;
    }
    if (replyBuffer[0] != kOpPageWrite || replyBuffer[1] != kSubErase) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "erase reply %02x %02x, expected fb 00", replyBuffer[0],
                      replyBuffer[1]);
        return Fail(buf);
    }
    return {};
}

Result<void> CCodeProgram::GetLinkStatus(std::int32_t& value) {
    return ReadStatus(kSubLinkStatus, value);
}

Result<void> CCodeProgram::GetWriteStatus(std::int32_t& value) {
    return ReadStatus(kSubWriteStatus, value);
}

Result<void> CCodeProgram::ReadStatus(std::uint8_t subCode, std::int32_t& value) {
    if (auto sent = QueryStatus(subCode, 0, static_cast<std::int32_t>(kReplyLength)); !sent) {
        return sent;
    }
    value = 0;
    if (replyBuffer[0] != kOpStatus || replyBuffer[1] != subCode) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "status reply %02x %02x, expected fc %02x", replyBuffer[0],
                      replyBuffer[1], subCode);
        return Fail(buf);
    }
    value = replyBuffer[2];
    return {};
}

std::uint16_t CCodeProgram::CalcCrc16(const std::uint8_t* data, std::int32_t length) {
    const auto counted = static_cast<std::size_t>(static_cast<std::uint32_t>(length) % 65536u);
    if (counted == 0) {
        return 0;
    }
    return Crc16Xmodem(data, counted);
}

Result<void> CCodeProgram::PassThroughIn(std::uint32_t transferLength, void* buffer) {
    return Send(DataDirection::In, transferLength, buffer);
}

Result<void> CCodeProgram::PassThroughOut(std::uint32_t transferLength, const void* buffer) {
    // The transport only reads an outgoing buffer; its request type is shared with data-in.
    return Send(DataDirection::Out, transferLength, const_cast<void*>(buffer));
}

Result<void> CCodeProgram::Send(DataDirection direction, std::uint32_t transferLength,
                                void* buffer) {
    if (!deviceHandle) {
        return Fail("no programmer");
    }
    PassThroughRequest request;
    request.cdb = commandBlock;
    request.direction = direction;
    request.transferLength = transferLength;
    request.buffer = buffer;
    request.timeout = direction == DataDirection::In ? kTimeoutIn : kTimeoutOut;
    // A transport fails an exchange that moved fewer bytes than asked: part of a reply from
    // before, read as this one, would let a stale status 0 confirm a page never taken.
    return deviceHandle->Exchange(request);
}

}  // namespace tarnwick
