#include "link/Crc16.h"

#include <array>

namespace tarnwick {

std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t length) {
    // Entry i is i * 0x1021: the remainder contributed by one nibble.
    std::array<std::uint16_t, 16> table{};
    for (std::uint16_t i = 0; i < 16; ++i) {
        table[i] = static_cast<std::uint16_t>(i * 0x1021u);
    }
    std::uint16_t crc = 0;
    for (std::size_t k = 0; k < length; ++k) {
        const std::uint8_t b = data[k];
        crc = static_cast<std::uint16_t>(table[(crc >> 12) ^ (b >> 4)] ^ (crc << 4));
        crc = static_cast<std::uint16_t>(table[(crc >> 12) ^ (b & 0x0Fu)] ^ (crc << 4));
    }
    return crc;
}

}  // namespace tarnwick
