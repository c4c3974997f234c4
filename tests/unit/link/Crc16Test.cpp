#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/CCodeProgram.h"
#include "link/Crc16.h"

namespace tarnwick {
namespace {

// Bit by bit, straight from the polynomial: an independent reference for the nibble table.
std::uint16_t ReferenceCrc(const std::vector<std::uint8_t>& data) {
    std::uint16_t crc = 0;
    for (std::uint8_t b : data) {
        crc = static_cast<std::uint16_t>(crc ^ (b << 8));
        for (int i = 0; i < 8; ++i) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

std::vector<std::uint8_t> Noise(std::size_t n) {
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = 7;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}

TEST(Crc16, GivesThePublishedCheckValueAndAgreesWithABitwiseReferenceOnPagesOfEverySize) {
    const std::string digits = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(Crc16Xmodem(p, digits.size()), 0x31C3);
    for (std::size_t n : {1u, 2u, 511u, 512u, 2048u, 4099u}) {
        const auto data = Noise(n);
        EXPECT_EQ(CCodeProgram::CalcCrc16(data.data(), static_cast<std::int32_t>(n)),
                  ReferenceCrc(data))
            << n << " bytes";
    }
}

TEST(Crc16, CountsTheLengthModulo65536LikeTheCommandBlock) {
    EXPECT_EQ(CCodeProgram::CalcCrc16(nullptr, 0), 0) << "empty data is never read";
    const auto data = Noise(65537);
    EXPECT_EQ(CCodeProgram::CalcCrc16(data.data(), 65536), 0);
    EXPECT_EQ(CCodeProgram::CalcCrc16(data.data(), 65537), ReferenceCrc({data[0]}));
}

}  // namespace
}  // namespace tarnwick
