// FIFOs and device nodes, which a job must neither block on nor write to (Linux only: Windows
// has neither among its files).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "JobHarness.h"
#include "jobs/ReadBack.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;

TEST(SpecialFile, AFifoIsNoFirmwareFileAndErasesNothing) {
    JobHarness h;
    TempFile dir({});
    const std::string fifo = dir.Dir() + "/fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    h.path.Set(fifo);
    const ProgramResult r = h.job.ProgramFlash();
    EXPECT_EQ(r.ending, ProgramEnding::OpenFailed);
    EXPECT_EQ(Why(r.fault), fifo + " is a FIFO, not a regular file");
    EXPECT_TRUE(h.EraseAddresses().empty());
}

TEST(SpecialFile, AFifoOrDeviceAsReadBackOutputIsRefusedBeforeReadingAndLeftAlone) {
    JobHarness h;
    ASSERT_EQ(h.Run(PatternBytes(4096)).ending, ProgramEnding::Success);
    TempFile dir({});
    const std::string fifo = dir.Dir() + "/fifo.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A FIFO would hold open() for ever; a device node must not be written or removed.
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
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
