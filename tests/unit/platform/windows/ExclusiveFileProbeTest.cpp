// Whether a chosen file can be taken on Windows: not while any other handle has it open or
// holds a byte-range lock on it, never a directory, and otherwise its length, whatever its name.
#include "platform/ExclusiveFileProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "TempFile.h"
#include "platform/windows/Handle.h"

namespace tarnwick {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

enum class Other { None, Open, RangeLock };

TEST(WindowsExclusiveFileProbe, GivesTheLengthOfAFileNobodyHasOpenAndRefusesAllElse) {
    const testing::TempFile file(testing::PatternBytes(1000), "固件.bin");
    const struct {
        std::string path;
        Other other;          // another handle on the file while the probe looks
        const char* refusal;  // none: the file is taken
    } cases[] = {
        {file.Path(), Other::None, nullptr},
        {file.Path(), Other::Open, "another process has it open"},
        // Refused by the sharing rule already; the lock check stands behind it.
        {file.Path(), Other::RangeLock, "another process h"},
        {file.Dir(), Other::None, "not a regular file"},
        {file.Dir() + "/gone.bin", Other::None, "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // Sharing everything, as a reader that does not mind others would.
        const Handle other(c.other == Other::None
                               ? INVALID_HANDLE_VALUE
                               : CreateFileW(Utf8Path(file.Path()).c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_EQ(other.get() == INVALID_HANDLE_VALUE, c.other == Other::None);
        OVERLAPPED oneByte{};  // shared, one byte: any lock at all counts
        oneByte.Offset = 10;
        ASSERT_TRUE(c.other != Other::RangeLock ||
                    LockFileEx(other.get(), LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &oneByte) != 0);
        const Result<std::int64_t> length = ExclusiveFileProbe::Length(c.path);
        if (c.refusal == nullptr) {
            ASSERT_TRUE(length) << length.error().Describe();
            EXPECT_EQ(*length, 1000);
        } else {
            EXPECT_THAT(length ? "taken" : length.error().Describe(),
                        AllOf(HasSubstr(c.path + ": "), HasSubstr(c.refusal)));
        }
    }
}

}  // namespace
}  // namespace tarnwick
