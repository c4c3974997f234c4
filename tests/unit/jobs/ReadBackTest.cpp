#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "JobHarness.h"
#include "jobs/ReadBack.h"
#include "jobs/Utf8Path.h"

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

// FIFOs and devices: SpecialFileTest.cpp.
TEST_F(ReadBackTest, AnOutputThatCannotBeARegularFileIsRefusedBeforeReading) {
    for (const std::string& path : {dir.Dir() + "/no/such/dir.bin", dir.Dir()}) {
        SCOPED_TRACE(path);
        h.programmer->ClearLog();
        const ReadBackResult r = ReadFlashToFile(h.programmer, path, 512);
        EXPECT_EQ(r.ending, ReadBackEnding::OpenFailed);
        EXPECT_TRUE(h.Received(0xFD, 0x01).empty());
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.Dir()));
}

// Paths are UTF-8 inside; the file made is the one named, not one under a mangled name.
TEST_F(ReadBackTest, AnOutputNamedInChineseIsMadeUnderThatName) {
    const std::string named = dir.Dir() + "/固件读出.bin";
    ASSERT_EQ(ReadFlashToFile(h.programmer, named, 1024).ending, ReadBackEnding::Success);
    std::vector<std::string> names;  // as UTF-8
    for (const auto& entry : std::filesystem::directory_iterator(dir.Dir())) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::ranges::sort(names);
    EXPECT_EQ(names, (std::vector<std::string>{"f.bin", "固件读出.bin"}));
    EXPECT_EQ(std::filesystem::file_size(Utf8Path(named)), 1024u);
}

}  // namespace
}  // namespace tarnwick
