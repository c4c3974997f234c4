// What a programming job sends for files of different lengths, and what the flash holds after.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "JobHarness.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using Addresses = std::vector<std::uint32_t>;

// Every block the file touches is erased, no more. Past the file, the last page carries what the
// page before held in its place (a file shorter than a page: the erased value); the programmer
// takes a page only if its CRC covers them.
TEST(ProgramJobPages, FlashHoldsTheFileByteForByteAndTheLastPageItsStaleTail) {
    const std::vector<std::pair<std::size_t, Addresses>> cases = {
        {1, {0}},
        {511, {0}},
        {512, {0}},
        {1000, {0}},
        {65536, {0}},
        {65537, {0, 0x10000}},
        {200000, {0, 0x10000, 0x20000, 0x30000}}};
    for (const auto& [length, erased] : cases) {
        JobHarness h;
        const auto contents = PatternBytes(length, static_cast<std::uint8_t>(length));
        ASSERT_EQ(h.Run(contents).ending, ProgramEnding::Success) << length;
        EXPECT_EQ(h.EraseAddresses(), erased) << length << " bytes";
        const auto pageEnd = static_cast<std::uint32_t>((length + 511) / 512 * 512);
        auto expected = contents;
        for (std::size_t i = length; i < pageEnd; ++i) {
            expected.push_back(length < 512 ? 0xFF : contents[i - 512]);
        }
        EXPECT_EQ(h.programmer->FlashBytes(0, pageEnd), expected) << length << " bytes";
        for (const LoggedCommand& write : h.Received(0xFB, 0x01)) {
            EXPECT_EQ(write.length, 512) << "every page whole, the last one too";
        }
    }
}

TEST(ProgramJobPages, ProgressStaysRightForFilesAbove21MegaBytes) {
    // Sparse: 22 MB of zeros without writing them to disk.
    JobHarness h(32u << 20);
    TempFile file({});
    const std::int64_t length = 22'000'001;
    std::filesystem::resize_file(file.Path(), static_cast<std::uintmax_t>(length));
    h.path.Set(file.Path());
    ASSERT_EQ(h.job.ProgramFlash().ending, ProgramEnding::Success);

    std::vector<std::int64_t> progress;
    for (const Shown& shown : h.display.commands) {
        if (shown.command == DISPLAY_PROGRESS) {
            progress.push_back(shown.value);
        }
    }
    // One value a page and the 0 of the end; a product past 2^31 would show as a step back.
    ASSERT_EQ(progress.size(), static_cast<std::size_t>((length + 511) / 512) + 1);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
    EXPECT_EQ(progress.end()[-2], 99);
    EXPECT_EQ(h.EraseAddresses().size(), static_cast<std::size_t>((length + 65535) / 65536));
}

}  // namespace
}  // namespace tarnwick
