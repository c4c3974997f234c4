#pragma once

#include <cstdint>
#include <vector>

namespace tarnwick::testing {

// CRC-16/XMODEM one bit at a time, straight from the polynomial (0x1021, start 0, no reflection,
// no final XOR): a reference that shares nothing with the product's nibble table.
inline std::uint16_t BitwiseCrc(const std::vector<std::uint8_t>& data) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : data) {
        crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

}  // namespace tarnwick::testing
