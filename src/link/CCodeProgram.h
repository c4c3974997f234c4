#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "link/CommandBlock.h"
#include "link/PassThrough.h"

namespace tarnwick {

// Speaks the programmer's command set on one device: builds the command blocks, sends them
// with their data phase and checks the replies. Knows nothing of files, progress or display.
// One thread at a time; a job owns one for its whole run.
// Every command returns its failure as a Fault; callers add what they were doing.
class CCodeProgram {
  public:
    // Keeps its own reference, so the device stays open for as long as this object uses it.
    void SetDevice(std::shared_ptr<PassThrough> device);

    // Page read of `length` bytes at `address` into `buffer`.
    Result<void> ReadFlash(std::int32_t address, std::uint8_t* buffer, std::int32_t length);
    // Page write of `length` bytes from `data`, protected by their CRC. A failed request may
    // never have arrived. Whether the programmer took a page that did is
    // told by GetWriteStatus. Note: length comes before the buffer here.
    Result<void> WriteFlash(std::int32_t address, std::int32_t length, const std::uint8_t* data);
    // Status query; the reply is left in replyBuffer unchecked. `length` is at most 512.
    Result<void> QueryStatus(std::uint8_t subCode, std::int32_t address, std::int32_t length);
    // Block erase of the 64 KiB block at `address`; needs the reply FB 00.
    Result<void> EraseBlock(std::int32_t address);

    // Status readers. A failed request leaves `value` untouched (a reply cut short is a failed
    // request: the transport fails any exchange that moved fewer bytes than asked); a malformed
    // reply sets it to 0 and fails; a good reply sets it to the status byte. Callers that
    // preset `value` tell the first two apart by it.
    Result<void> GetLinkStatus(std::int32_t& value);
    Result<void> GetWriteStatus(std::int32_t& value);

    // CRC-16/XMODEM over `length` mod 65536 bytes (the command block has 16 bits for length).
    static std::uint16_t CalcCrc16(const std::uint8_t* data, std::int32_t length);

    const CommandBlock& LastCommandBlock() const { return commandBlock; }
    const std::array<std::uint8_t, 512>& ReplyBuffer() const { return replyBuffer; }

  private:
    Result<void> PassThroughIn(std::uint32_t transferLength, void* buffer);
    Result<void> PassThroughOut(std::uint32_t transferLength, const void* buffer);
    Result<void> Send(DataDirection direction, std::uint32_t transferLength, void* buffer);
    Result<void> ReadStatus(std::uint8_t subCode, std::int32_t& value);

    CommandBlock commandBlock{};
    std::shared_ptr<PassThrough> deviceHandle;
    std::array<std::uint8_t, 512> replyBuffer{};
};

}  // namespace tarnwick
