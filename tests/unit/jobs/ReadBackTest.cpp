#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "JobHarness.h"
#include "jobs/ReadBack.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct ReadBackTest : ::testing::Test {
    JobHarness h;
    std::vector<std::uint8_t> contents = PatternBytes(4096);
    TempFile dir{{}};
    std::string out = dir.Dir() + "/read.bin";
    void SetUp() override { ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success); }
};

// Whole pages from address zero: a partial last page is dropped, below one page the file is empty.
TEST_F(ReadBackTest, SavesTheWholePagesOfTheLength) {
    for (const auto& [length, saved] : std::vector<std::pair<std::int64_t, std::ptrdiff_t>>{
             {1024, 1024}, {1000, 512}, {511, 0}, {0, 0}, {-5, 0}}) {
        ASSERT_EQ(ReadFlashToFile(h.programmer, out, length).ending, ReadBackEnding::Success);
        EXPECT_TRUE(std::filesystem::exists(out)) << length;
        EXPECT_EQ(FileBytes(out),
                  std::vector<std::uint8_t>(contents.begin(), contents.begin() + saved))
            << length;
    }
}

TEST_F(ReadBackTest, CreatesNoFileWhenTheProgrammerDoesNotAnswer) {
    h.programmer->SetFaults({.muteLinkQuery = true});
    EXPECT_EQ(ReadFlashToFile(h.programmer, out, 1024).ending, ReadBackEnding::NotAnswering);
    EXPECT_EQ(ReadFlashToFile(nullptr, out, 1024).ending, ReadBackEnding::NotAnswering);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(ReadBackTest, AFailedOrShortPageReadLeavesNoFileBehindNotEvenAnOldOne) {
    for (const bool gone : {true, false}) {
        std::ofstream(out) << "an older read-back";
        auto device = std::make_shared<PartialPageRead>(h.programmer, 0x400, false);
        const auto sent = h.programmer->Log().size();
        // Gone after the link query and two pages.
        h.programmer->SetFaults(gone ? FaultPlan{.dropAfterCommands = sent + 3} : FaultPlan{});
        const ReadBackResult r = ReadFlashToFile(device, out, 4096);
        EXPECT_EQ(r.ending, ReadBackEnding::ReadFailed) << (gone ? "gone" : "short");
        EXPECT_NE(Why(r.fault).find("page read at 0x000400"), std::string::npos) << Why(r.fault);
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_STREQ(ReadBackMessage(r.ending), "读取Flash失败！");
        h.programmer->SetPresent(true);
    }
}

TEST_F(ReadBackTest, AnOutputThatIsNoRegularFileIsRefusedBeforeReadingAndLeftAlone) {
    const std::string fifo = dir.Dir() + "/fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO would hold open() for ever; a device node must not be written or removed.
    for (const std::string& path :
         {dir.Dir() + "/no/such/dir.bin", fifo, dir.Dir(), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        h.programmer->ClearLog();
        const ReadBackResult r = ReadFlashToFile(h.programmer, path, 512);
        EXPECT_EQ(r.ending, ReadBackEnding::OpenFailed);
        EXPECT_TRUE(h.Received(0xFD, 0x01).empty());
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace tarnwick
