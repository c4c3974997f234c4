#include <gtest/gtest.h>

#include <string>

#include "BitwiseCrc.h"
#include "TempFile.h"
#include "link/CCodeProgram.h"
#include "link/Crc16.h"

namespace tarnwick {
namespace {

using testing::BitwiseCrc;
using testing::PatternBytes;

TEST(Crc16, GivesThePublishedCheckValueAndAgreesWithABitwiseReferenceOnPagesOfEverySize) {
    const std::string digits = "123456789";
    const auto* p = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(Crc16Xmodem(p, digits.size()), 0x31C3);
    for (std::size_t n : {1u, 2u, 511u, 512u, 2048u, 4099u}) {
        const auto data = PatternBytes(n);
        EXPECT_EQ(CCodeProgram::CalcCrc16(data.data(), static_cast<std::int32_t>(n)),
                  BitwiseCrc(data))
            << n << " bytes";
    }
}

TEST(Crc16, CountsTheLengthModulo65536LikeTheCommandBlock) {
    EXPECT_EQ(CCodeProgram::CalcCrc16(nullptr, 0), 0) << "empty data is never read";
    const auto data = PatternBytes(65537);
    EXPECT_EQ(CCodeProgram::CalcCrc16(data.data(), 65536), 0);
    EXPECT_EQ(CCodeProgram::CalcCrc16(data.data(), 65537), BitwiseCrc({data[0]}));
}

}  // namespace
}  // namespace tarnwick
