#include "link/CCodeProgram.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "link/Crc16.h"

namespace tarnwick {

bool CCodeProgram::SetDevice(std::shared_ptr<PassThrough> device) {
    deviceHandle = std::move(device);
    return true;
}

bool CCodeProgram::ReadFlash(std::int32_t address, std::uint8_t* buffer, std::int32_t length) {
    if (length < 0 || (length > 0 && buffer == nullptr)) {
        return Refuse("page read with an invalid buffer");
    }
    commandBlock =
        MakePageRead(static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(length));
    return PassThroughIn(static_cast<std::uint32_t>(length), buffer);
}

bool CCodeProgram::WriteFlash(std::int32_t address, std::int32_t length, const std::uint8_t* data) {
    if (length < 0 || (length > 0 && data == nullptr)) {
        return Refuse("page write with an invalid buffer");
    }
    commandBlock = MakePageWrite(static_cast<std::uint32_t>(address),
                                 static_cast<std::uint32_t>(length), CalcCrc16(data, length));
    return PassThroughOut(static_cast<std::uint32_t>(length), data);
}

bool CCodeProgram::QueryStatus(std::uint8_t subCode, std::int32_t address, std::int32_t length) {
    // The reply lands in replyBuffer; a longer transfer would run past it.
    if (length < 0 || static_cast<std::size_t>(length) > replyBuffer.size()) {
        return Refuse("status query longer than the reply buffer");
    }
    // Cleared so that a reply that never arrived cannot be read as the previous one.
    replyBuffer.fill(0);
    commandBlock = MakeStatusQuery(subCode, static_cast<std::uint32_t>(address),
                                   static_cast<std::uint32_t>(length));
    return PassThroughIn(static_cast<std::uint32_t>(length), replyBuffer.data());
}

bool CCodeProgram::EraseBlock(std::int32_t address) {
    replyBuffer.fill(0);
    commandBlock = MakeBlockErase(static_cast<std::uint32_t>(address));
    if (!PassThroughIn(kReplyLength, replyBuffer.data())) {
        return false;
    }
    if (replyBuffer[0] != kOpPageWrite || replyBuffer[1] != kSubErase) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "erase reply %02x %02x, expected fb 00", replyBuffer[0],
                      replyBuffer[1]);
        return Refuse(buf);
    }
    return true;
}

bool CCodeProgram::GetLinkStatus(std::int32_t& value) {
    return ReadStatus(kSubLinkStatus, value);
}

bool CCodeProgram::GetWriteStatus(std::int32_t& value) {
    return ReadStatus(kSubWriteStatus, value);
}

bool CCodeProgram::ReadStatus(std::uint8_t subCode, std::int32_t& value) {
    if (!QueryStatus(subCode, 0, static_cast<std::int32_t>(kReplyLength))) {
        return false;
    }
    value = 0;
    if (replyBuffer[0] != kOpStatus || replyBuffer[1] != subCode) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "status reply %02x %02x, expected fc %02x", replyBuffer[0],
                      replyBuffer[1], subCode);
        return Refuse(buf);
    }
    value = replyBuffer[2];
    return true;
}

std::uint16_t CCodeProgram::CalcCrc16(const std::uint8_t* data, std::int32_t length) {
    const auto counted = static_cast<std::size_t>(static_cast<std::uint32_t>(length) % 65536u);
    if (counted == 0) {
        return 0;
    }
    return Crc16Xmodem(data, counted);
}

bool CCodeProgram::PassThroughIn(std::uint32_t transferLength, void* buffer) {
    return Send(DataDirection::In, transferLength, buffer);
}

bool CCodeProgram::PassThroughOut(std::uint32_t transferLength, const void* buffer) {
    // The transport only reads an outgoing buffer; its request type is shared with data-in.
    return Send(DataDirection::Out, transferLength, const_cast<void*>(buffer));
}

bool CCodeProgram::Send(DataDirection direction, std::uint32_t transferLength, void* buffer) {
    lastFault = {};
    if (!deviceHandle) {
        return Refuse("no programmer");
    }
    PassThroughRequest request;
    request.cdb = commandBlock;
    request.direction = direction;
    request.transferLength = transferLength;
    request.buffer = buffer;
    request.timeout = direction == DataDirection::In ? kTimeoutIn : kTimeoutOut;
    if (!deviceHandle->Exchange(request, &lastFault)) {
        return false;
    }
    // Bytes that did not move would leave part of a reply from before: read as this one, a
    // stale status 0 would confirm a page never taken. The contract says a transport fails such
    // an exchange; this holds even for one that does not.
    if (lastFault.residual != 0) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "short transfer, %u of %u bytes moved",
                      transferLength - std::min(lastFault.residual, transferLength),
                      transferLength);
        lastFault.what = buf;
        return false;
    }
    return true;
}

bool CCodeProgram::Refuse(const char* why) {
    lastFault = {};
    lastFault.what = why;
    return false;
}

}  // namespace tarnwick
