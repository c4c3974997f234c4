#include "link/Crc16.h"

#include <array>

namespace tarnwick {

namespace {

constexpr std::size_t kSlices = 8;
using Table = std::array<std::uint16_t, 256>;

// tables[0][b] is the remainder of byte b; tables[k][b] that of byte b followed by k zero
// bytes. The CRC is linear, so eight bytes fold into eight independent look-ups.
constexpr std::array<Table, kSlices> MakeTables() {
    std::array<Table, kSlices> tables{};
    for (std::size_t b = 0; b < 256; ++b) {
        std::uint32_t crc = static_cast<std::uint32_t>(b) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000u) ? (crc << 1) ^ 0x1021u : crc << 1;
        }
        tables[0][b] = static_cast<std::uint16_t>(crc);
    }
    for (std::size_t k = 1; k < kSlices; ++k) {
        for (std::size_t b = 0; b < 256; ++b) {
            const std::uint16_t prev = tables[k - 1][b];
            tables[k][b] = static_cast<std::uint16_t>((prev << 8) ^ tables[0][prev >> 8]);
        }
    }
    return tables;
}

constexpr auto kTables = MakeTables();

}  // namespace

std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    std::size_t k = 0;
    for (; k + kSlices <= length; k += kSlices) {
        const std::uint8_t* d = data + k;
        crc = static_cast<std::uint16_t>(kTables[7][d[0] ^ (crc >> 8)] ^
                                         kTables[6][d[1] ^ (crc & 0xFFu)] ^ kTables[5][d[2]] ^
                                         kTables[4][d[3]] ^ kTables[3][d[4]] ^ kTables[2][d[5]] ^
                                         kTables[1][d[6]] ^ kTables[0][d[7]]);
    }
    for (; k < length; ++k) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ kTables[0][(crc >> 8) ^ data[k]]);
    }
    return crc;
}

}  // namespace tarnwick
