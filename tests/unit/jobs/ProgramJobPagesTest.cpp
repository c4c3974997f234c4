// What a programming job sends for files of different lengths, and what the flash holds after.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "JobHarness.h"
#include "link/CCodeProgram.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using Addresses = std::vector<std::uint32_t>;

TEST(ProgramJobPages, EraseEveryBlockTheFileTouchesAndNoMore) {
    const std::vector<std::pair<std::size_t, Addresses>> cases = {
        {1, {0}}, {1000, {0}}, {65536, {0}}, {65537, {0, 0x10000}}};
    for (const auto& [length, erased] : cases) {
        JobHarness h;
        ASSERT_EQ(h.Run(PatternBytes(length)).ending, ProgramEnding::Success) << length;
        EXPECT_EQ(h.EraseAddresses(), erased) << length << " bytes";
    }
}

TEST(ProgramJobPages, WriteWholePagesFromAddressZeroWithProgressBeforeEachPagesBytes) {
    JobHarness h;
    ASSERT_EQ(h.Run(PatternBytes(65537)).ending, ProgramEnding::Success);
    const auto writes = h.Received(0xFB, 0x01);
    ASSERT_EQ(writes.size(), 129u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].address, i * 512);
        EXPECT_EQ(writes[i].length, 512);
        EXPECT_EQ(writes[i].transferLength, 512u);
    }
    const auto progress = h.display.ProgressValues();
    ASSERT_EQ(progress.size(), 129u + 1u) << "one per page plus the final reset";
    EXPECT_EQ(progress[1], 512 * 100 / 65537);
    EXPECT_EQ(progress[128], 65536LL * 100 / 65537) << "never 100 while writing";
}

TEST(ProgramJobPages, TalkToTheProgrammerInTheExpectedOrder) {
    JobHarness h;
    ASSERT_EQ(h.Run(PatternBytes(1000)).ending, ProgramEnding::Success);
    const auto log = h.programmer->Log();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0], (LoggedCommand{0xFC, 1, 0, 16, 16, 0})) << "link status first";
    EXPECT_EQ(log[1], (LoggedCommand{0xFB, 0, 0, 0, 16, 0})) << "erase";
    EXPECT_EQ(log[2].op, 0xFB);
    EXPECT_EQ(log[3], (LoggedCommand{0xFC, 7, 0, 16, 16, 0})) << "write status after each page";
    EXPECT_EQ(log[4].address, 512u);
    EXPECT_EQ(log[5], log[3]);
    EXPECT_TRUE(h.programmer->Violations().empty());
}

TEST(ProgramJobPages, FlashHoldsTheFileByteForByte) {
    for (std::size_t length : {1u, 511u, 512u, 1000u, 65537u, 200000u}) {
        JobHarness h;
        const auto contents = PatternBytes(length, static_cast<std::uint8_t>(length));
        ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success) << length;
        EXPECT_EQ(h.programmer->FlashBytes(0, static_cast<std::uint32_t>(length)), contents)
            << length << " bytes";
    }
}

TEST(ProgramJobPages, AShortLastPageCarriesThePreviousPagesBytesAndItsCrcCoversThem) {
    JobHarness h;
    const auto contents = PatternBytes(1000);
    ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success);
    const auto tail = h.programmer->FlashBytes(1000, 24);
    EXPECT_EQ(tail, std::vector<std::uint8_t>(contents.begin() + 488, contents.begin() + 512));

    std::vector<std::uint8_t> lastPage(contents.begin() + 512, contents.end());
    lastPage.insert(lastPage.end(), contents.begin() + 488, contents.begin() + 512);
    EXPECT_EQ(h.Received(0xFB, 0x01).at(1).crc, CCodeProgram::CalcCrc16(lastPage.data(), 512));
}

TEST(ProgramJobPages, AFileShorterThanAPageIsPaddedWithTheErasedValue) {
    JobHarness h;
    ASSERT_EQ(h.Run({0x12, 0x34, 0x56}).ending, ProgramEnding::Success);
    std::vector<std::uint8_t> page(512, 0xFF);
    page[0] = 0x12;
    page[1] = 0x34;
    page[2] = 0x56;
    EXPECT_EQ(h.Received(0xFB, 0x01).at(0).crc, CCodeProgram::CalcCrc16(page.data(), 512));
}

TEST(ProgramJobPages, ProgressStaysRightForFilesAbove21MegaBytes) {
    // Sparse: 22 MB of zeros without writing them to disk.
    JobHarness h(32u << 20);
    TempFile file({});
    const std::int64_t length = 22'000'001;
    std::filesystem::resize_file(file.Path(), static_cast<std::uintmax_t>(length));
    h.path.Set(file.Path());
    ASSERT_EQ(h.job.ProgramFlash().ending, ProgramEnding::Success);

    const auto progress = h.display.ProgressValues();
    const std::size_t pages = static_cast<std::size_t>((length + 511) / 512);
    ASSERT_EQ(progress.size(), pages + 1);
    for (std::size_t i = 0; i < pages; ++i) {
        ASSERT_EQ(progress[i], static_cast<std::int64_t>(i) * 512 * 100 / length) << "page " << i;
    }
    EXPECT_EQ(progress[pages - 1], 99);
    EXPECT_EQ(h.EraseAddresses().size(), static_cast<std::size_t>((length + 65535) / 65536));
}

}  // namespace
}  // namespace tarnwick
