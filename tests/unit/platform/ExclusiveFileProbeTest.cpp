// Whether a chosen file can be taken on Linux: not while another open file holds a lock of
// either kind on it, never anything but a regular file (a FIFO without hanging), and otherwise
// its length.
#include "platform/ExclusiveFileProbe.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TempFile.h"

namespace tarnwick {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

enum class Lock { None, Flock, Record };

TEST(ExclusiveFileProbe, GivesTheLengthOfAFileNobodyLocksAndRefusesAllElse) {
    const testing::TempFile file(testing::PatternBytes(1000), "固件.bin");
    const std::string fifo = file.Dir() + "/pipe.bin";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        Lock lock;            // held through another open file while the probe looks
        const char* refusal;  // none: the file is taken
    } cases[] = {
        {file.Path(), Lock::None, nullptr},
        // Each lock can be taken, so the earlier probes let go of theirs.
        {file.Path(), Lock::Flock, "another process holds a lock on it"},
        {file.Path(), Lock::Record, "another process holds a record lock on it"},
        {fifo, Lock::None, "not a regular file"},
        {file.Dir(), Lock::None, "not a regular file"},
        {file.Dir() + "/gone.bin", Lock::None, "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const int other = open(file.Path().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(other, 0);
        struct flock range {};
        range.l_type = F_RDLCK;  // one byte, shared: any lock at all counts
        range.l_start = 10;
        range.l_len = 1;
        EXPECT_EQ(c.lock == Lock::Flock    ? flock(other, LOCK_SH | LOCK_NB)
                  : c.lock == Lock::Record ? fcntl(other, F_OFD_SETLK, &range)
                                           : 0,
                  0);
        const Result<std::int64_t> length = ExclusiveFileProbe::Length(c.path);
        close(other);
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
