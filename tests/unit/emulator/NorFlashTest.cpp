#include <gtest/gtest.h>

#include "TempFile.h"
#include "emulator/NorFlash.h"

namespace tarnwick {
namespace {

using testing::TempFile;

TEST(NorFlash, StartsErasedAndProgrammingOnlyClearsBits) {
    NorFlash flash(0x20000);
    std::vector<std::uint8_t> out(2);
    ASSERT_TRUE(flash.Read(0x1FFFE, out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xFF, 0xFF}));

    EXPECT_TRUE(flash.Program(0x100, std::vector<std::uint8_t>{0xF0, 0x0F}));
    EXPECT_FALSE(flash.Program(0x100, std::vector<std::uint8_t>{0xFF, 0x3C}))
        << "setting a bit back to 1 is a programming fault";
    ASSERT_TRUE(flash.Read(0x100, out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xF0, 0x0C})) << "the cells hold the AND";
}

TEST(NorFlash, EraseRestoresExactlyTheBlockThatHoldsTheAddress) {
    NorFlash flash(0x30000);
    const std::vector<std::uint8_t> zeros(0x30000, 0);
    ASSERT_TRUE(flash.Program(0, zeros));
    ASSERT_TRUE(flash.EraseBlock(0x10010));
    EXPECT_EQ(flash.Bytes()[0xFFFF], 0);
    EXPECT_EQ(flash.Bytes()[0x10000], 0xFF);
    EXPECT_EQ(flash.Bytes()[0x1FFFF], 0xFF);
    EXPECT_EQ(flash.Bytes()[0x20000], 0);
    EXPECT_FALSE(flash.EraseBlock(0x30000));
}

TEST(NorFlash, RefusesRangesPastTheEndOfTheChip) {
    NorFlash flash(0x10000);
    std::vector<std::uint8_t> page(512, 0);
    EXPECT_FALSE(flash.Program(0xFF00, page));
    EXPECT_FALSE(flash.Read(0xFFFFFF00u, page));
    EXPECT_TRUE(flash.Read(0xFE00, page));
}

TEST(NorFlash, SavesAndLoadsItsWholeContents) {
    NorFlash flash(0x10000);
    ASSERT_TRUE(flash.Program(0x1234, std::vector<std::uint8_t>{1, 2, 3}));
    TempFile file({});
    ASSERT_EQ(flash.Save(file.Path()), "");

    NorFlash loaded(0x10000);
    ASSERT_EQ(loaded.Load(file.Path()), "");
    EXPECT_EQ(loaded.Bytes(), flash.Bytes());

    NorFlash smaller(0x8000);
    EXPECT_NE(smaller.Load(file.Path()), "") << "an image larger than the chip is refused";
    EXPECT_NE(loaded.Load(file.Dir() + "/missing"), "");
}

}  // namespace
}  // namespace tarnwick
