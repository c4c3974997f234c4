#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

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

TEST(NorFlash, SavesAndLoadsItsWholeContentsAndOnlyAnImageOfItsOwnSize) {
    NorFlash flash(0x10000);
    ASSERT_TRUE(flash.Program(0x1234, std::vector<std::uint8_t>{1, 2, 3}));
    TempFile file({});
    ASSERT_EQ(flash.Save(file.Path()), "");

    NorFlash loaded(0x10000);
    ASSERT_EQ(loaded.Load(file.Path()), "");
    EXPECT_EQ(loaded.Bytes(), flash.Bytes());

    NorFlash smaller(0x8000);
    EXPECT_EQ(smaller.Load(file.Path()),
              "flash image " + file.Path() + " holds 65536 bytes, the emulated flash 32768");
    NorFlash larger(0x20000);
    EXPECT_NE(larger.Load(file.Path()), "") << "the rest would silently read erased";
    EXPECT_EQ(larger.Bytes(), std::vector<std::uint8_t>(0x20000, 0xFF)) << "left as it was";
    EXPECT_EQ(loaded.Load(file.Dir()), "flash image " + file.Dir() + " is a directory");
    EXPECT_NE(loaded.Load(file.Dir() + "/missing"), "");
}

// A full disk (here: a file size limit) while saving leaves the old image whole and no
// half-written file beside it.
TEST(NorFlash, ASaveThatFailsLeavesTheOldImageWhole) {
    TempFile file(std::vector<std::uint8_t>(0x10000, 0xA5));
    NorFlash flash(0x10000);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = flash.Save(file.Path());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_NE(error.find("cannot write flash image " + file.Path()), std::string::npos) << error;
    std::ifstream in(file.Path(), std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}),
              std::vector<std::uint8_t>(0x10000, 0xA5));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.Dir()), {}), 1);
}

TEST(NorFlash, TellsBeforeAJobWhetherAnImageCanBeWrittenAtAPath) {
    TempFile file({});
    const std::string& dir = file.Dir();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {file.Path(), ""},
        {dir + "/new.img", ""},
        {dir, "flash image " + dir + " is a directory"},
        {dir + "/none/new.img", "cannot write flash image " + dir + "/none/new.img: " + dir +
                                    "/none: No such file or directory"},
        {file.Path() + "/new.img",
         "cannot write flash image " + file.Path() + "/new.img: Not a directory"},
    };
    for (const auto& [path, error] : cases) {
        EXPECT_EQ(CheckFlashFileWritable(path), error) << path;
    }
    if (geteuid() != 0) {  // root may write anywhere
        std::filesystem::permissions(file.Path(), std::filesystem::perms::owner_read);
        EXPECT_EQ(CheckFlashFileWritable(file.Path()),
                  "cannot write flash image " + file.Path() + ": Permission denied");
    }
}

}  // namespace
}  // namespace tarnwick
