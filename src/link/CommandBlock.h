#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "link/Fault.h"

namespace tarnwick {

// The programmer's vendor command blocks. Address and length are big-endian inside the block,
// the CRC little-endian; every byte not listed below is zero.
using CommandBlock = std::array<std::uint8_t, 16>;
static_assert(sizeof(CommandBlock) == 16);

inline constexpr std::uint8_t kOpPageRead = 0xFD;
inline constexpr std::uint8_t kOpPageWrite = 0xFB;  // sub-code 1 writes, 0 erases a block
inline constexpr std::uint8_t kOpStatus = 0xFC;
inline constexpr std::uint8_t kSubWrite = 0x01;
inline constexpr std::uint8_t kSubErase = 0x00;
inline constexpr std::uint8_t kSubPageRead = 0x01;
inline constexpr std::uint8_t kSubLinkStatus = 1;
inline constexpr std::uint8_t kSubWriteStatus = 7;

inline constexpr std::int32_t kPageSize = 512;
inline constexpr std::int32_t kEraseBlockSize = 0x10000;
inline constexpr std::uint32_t kReplyLength = 16;  // erase and status replies

// Writes are slow on the device side (programming), so they get the longer time-out.
inline constexpr std::chrono::milliseconds kTimeoutIn{10'000};
inline constexpr std::chrono::milliseconds kTimeoutOut{40'000};

CommandBlock MakePageRead(std::uint32_t address, std::uint32_t length);
CommandBlock MakePageWrite(std::uint32_t address, std::uint32_t length, std::uint16_t crc);
CommandBlock MakeBlockErase(std::uint32_t address);
CommandBlock MakeStatusQuery(std::uint8_t subCode, std::uint32_t address, std::uint32_t length);

// A command block taken apart, for the device side and for logs.
struct DecodedCommand {
    std::uint8_t op = 0;
    std::uint8_t sub = 0;
    std::uint32_t address = 0;
    std::uint16_t length = 0;  // bytes 6..7
    std::uint16_t crc = 0;     // bytes 9..10
};
DecodedCommand DecodeCommand(const CommandBlock& cdb);

// Succeeds when the block is well formed for its operation (known op and sub-code, reserved
// bytes zero); otherwise says what is wrong, for a loud log line on the device side.
Result<void> CheckCommandBlock(const CommandBlock& cdb);

}  // namespace tarnwick
