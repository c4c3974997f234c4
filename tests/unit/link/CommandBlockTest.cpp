#include <gtest/gtest.h>

#include "link/CommandBlock.h"

namespace tarnwick {
namespace {

CommandBlock Bytes(std::initializer_list<int> head) {
    CommandBlock cdb{};
    std::size_t i = 0;
    for (int b : head) {
        cdb[i++] = static_cast<std::uint8_t>(b);
    }
    return cdb;
}

// Address and length big-endian, a page write's CRC little-endian in bytes 9 and 10, an erase's
// length bytes zero, nothing else set.
TEST(CommandBlocks, CarryTheirFieldsInTheirBytesAndNothingElse) {
    EXPECT_EQ(MakePageRead(0x123400, 2048),
              Bytes({0xFD, 0x01, 0x00, 0x12, 0x34, 0x00, 0x08, 0x00}));
    EXPECT_EQ(MakeStatusQuery(7, 0, 16), Bytes({0xFC, 0x07, 0, 0, 0, 0, 0x00, 0x10}));
    EXPECT_EQ(MakePageRead(0xFEDCBA98, 0x1FFFF),
              Bytes({0xFD, 0x01, 0xFE, 0xDC, 0xBA, 0x98, 0xFF, 0xFF}))
        << "only the low 16 bits of the length fit";
    EXPECT_EQ(MakePageWrite(0x200, 512, 0x31C3),
              Bytes({0xFB, 0x01, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xC3, 0x31}));
    EXPECT_EQ(MakeBlockErase(0x20000), Bytes({0xFB, 0x00, 0x00, 0x02, 0x00, 0x00}));
}

TEST(CommandBlockCheck, NamesWhatIsWrongInABlock) {
    CommandBlock reserved = MakePageWrite(0, 512, 0x1234);
    reserved[8] = 1;
    EXPECT_NE(CheckCommandBlock(reserved).error().cause.find("byte 8"), std::string::npos);

    CommandBlock crcOnRead = MakePageRead(0, 512);
    crcOnRead[9] = 0x12;
    EXPECT_NE(CheckCommandBlock(crcOnRead).error().cause.find("byte 9"), std::string::npos);

    CommandBlock lengthOnErase = MakeBlockErase(0);
    lengthOnErase[7] = 16;
    EXPECT_FALSE(CheckCommandBlock(lengthOnErase));

    EXPECT_NE(CheckCommandBlock(Bytes({0x28})).error().cause.find("unknown"), std::string::npos);
    EXPECT_NE(CheckCommandBlock(Bytes({0xFD, 0x00})).error().cause.find("unknown"),
              std::string::npos);
}

}  // namespace
}  // namespace tarnwick
