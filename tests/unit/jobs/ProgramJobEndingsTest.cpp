// The display commands of every way a programming job can end.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "JobHarness.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using Seq = std::vector<Shown>;

TEST(ProgramJobEnding, SuccessLogsEachStageAndEndsGreenWithTheButtonBack) {
    JobHarness h;
    const ProgramResult r = h.Run(PatternBytes(1000));
    EXPECT_EQ(r.ending, ProgramEnding::Success) << Why(r.fault);
    EXPECT_EQ(r.bytesWritten, 1000u);
    EXPECT_EQ(
        h.display.Commands(),
        (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("写入数据中.."), Progress(0),
             Progress(51), Text("写入数据完成.."), Progress(0), Enable(true), Bar(true)}));
    EXPECT_TRUE(h.stdoutLines.str().empty());
}

TEST(ProgramJobEnding, AProgrammerThatDoesNotAnswerIsToldAndNothingIsErased) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.muteLinkQuery = true; });
    const ProgramResult r = h.Run(PatternBytes(1000));
    EXPECT_EQ(r.ending, ProgramEnding::NotAnswering);
    EXPECT_NE(Why(r.fault).find("link status query"), std::string::npos) << Why(r.fault);
    EXPECT_EQ(h.display.Commands(), (Seq{Reset(), Text("设备不在线.. ")}));
    EXPECT_TRUE(h.EraseAddresses().empty());

    JobHarness none;  // no programmer at all counts the same
    none.link.Clear();
    EXPECT_EQ(none.Run(PatternBytes(10)).ending, ProgramEnding::NotAnswering);
    EXPECT_TRUE(none.programmer->Log().empty());
}

// Anything but a regular file is refused at once: a FIFO must not hold the job up waiting for a
// writer, and a directory is called what it is.
TEST(ProgramJobEnding, AFileThatCannotBeOpenedEndsRed) {
    TempFile dir({});
    const std::string fifo = dir.Dir() + "/fifo.bin";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/nonexistent/firmware.bin", "/nonexistent/firmware.bin: No such file or directory"},
        {dir.Dir(), dir.Dir() + " is a directory"},
        {fifo, fifo + " is a FIFO, not a regular file"},
    };
    for (const auto& [path, detail] : cases) {
        JobHarness h;
        h.path.Set(path);
        const ProgramResult r = h.job.ProgramFlash();
        EXPECT_EQ(r.ending, ProgramEnding::OpenFailed) << path;
        EXPECT_EQ(Why(r.fault), detail);
        EXPECT_EQ(h.display.Commands(), (Seq{Reset(), Text("打开烧写文件失败.. "), Progress(0),
                                             Enable(true), Bar(false)}));
        EXPECT_TRUE(h.EraseAddresses().empty());
    }
}

// Confirmed pages are the file's only if nobody changed it meanwhile: `cp new.bin fw.bin` during
// the job leaves a mix in the flash, a file renamed over it is not the one that was written.
TEST(ProgramJobEnding, AFileChangedDuringTheWriteEndsAsAWriteError) {
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> cases = {
        {"rewritten in place",
         [](const std::string& path) {
             std::ofstream(path, std::ios::binary | std::ios::in)
                 .write(std::string(2048, 'x').data(), 2048);
         }},
        {"replaced by another file",
         [](const std::string& path) {
             TempFile other(PatternBytes(4096, 9));
             std::filesystem::rename(other.Path(), path);
         }},
    };
    for (const auto& [change, act] : cases) {
        JobHarness h;
        TempFile file(PatternBytes(2048));
        // Made long ago, as firmware files are: a rewrite must show in the time even when it
        // lands within the clock tick of the file's creation.
        std::filesystem::last_write_time(
            file.Path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        h.path.Set(file.Path());
        h.display.onSend = [&, act = act](const DisplayMessage& m) {
            if (m.command == DISPLAY_PROGRESS && m.value == 0 && h.WriteAddresses().size() == 1) {
                act(file.Path());
            }
        };
        const ProgramResult r = h.job.ProgramFlash();
        EXPECT_EQ(r.ending, ProgramEnding::WriteFailed) << change;
        EXPECT_EQ(Why(r.fault), file.Path() + " changed during the write (" + change + ")");
        EXPECT_EQ(
            h.display.Commands(),
            (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("写入数据中.."), Progress(0),
                 Progress(25), Progress(50), Progress(75), Text("write data err .."), Bar(false),
                 Text("写入数据完成.."), Progress(0), Enable(true), Bar(false)}))
            << change;
    }
}

TEST(ProgramJobEnding, AnEmptyFileIsRefusedBeforeAnythingIsErased) {
    JobHarness h;
    const ProgramResult r = h.Run({});
    EXPECT_EQ(r.ending, ProgramEnding::EmptyFile);
    EXPECT_EQ(h.display.Commands(),
              (Seq{Reset(), Text("烧写文件为空.. "), Progress(0), Enable(true), Bar(false)}));
    EXPECT_TRUE(h.EraseAddresses().empty());
    EXPECT_TRUE(h.WriteAddresses().empty());
}

TEST(ProgramJobEnding, AnEraseFailureIsToldOnTheDisplayAndOnStandardOutput) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.failEraseBlock = 2; });
    const ProgramResult r = h.Run(PatternBytes(3 * 65536 + 1));
    EXPECT_EQ(r.ending, ProgramEnding::EraseFailed);
    EXPECT_NE(Why(r.fault).find("block erase at 0x020000"), std::string::npos) << Why(r.fault);
    EXPECT_EQ(h.display.Commands(),
              (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("擦除Flash 失败.. "),
                   Progress(0), Enable(true), Bar(false)}));
    EXPECT_EQ(h.stdoutLines.str(), "擦出Flash 失败..\n");
    EXPECT_EQ(h.EraseAddresses(), (std::vector<std::uint32_t>{0, 0x10000, 0x20000}))
        << "blocks 0 and 1 were erased, nothing after the failing one";
    EXPECT_TRUE(h.WriteAddresses().empty());
}

TEST(ProgramJobEnding, AWriteErrorEndsRedAfterTheEndOfWritingLine) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.failPage = {512}; });
    const ProgramResult r = h.Run(PatternBytes(2048));
    EXPECT_EQ(r.ending, ProgramEnding::WriteFailed);
    EXPECT_NE(Why(r.fault).find("page write at 0x000200: programmer reported write status 2"),
              std::string::npos)
        << Why(r.fault);
    EXPECT_EQ(h.display.Commands(),
              (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("写入数据中.."),
                   Progress(0), Text("write data err .."), Bar(false), Text("写入数据完成.."),
                   Progress(0), Enable(true), Bar(false)}));
    EXPECT_EQ(h.WriteAddresses(), (std::vector<std::uint32_t>{0, 512}))
        << "status 2 ends the job without a rewrite, and later pages are not written";
}

TEST(ProgramJobEnding, NoFileChosenShowsTheMessageBoxBeforeAnyDisplayCommand) {
    JobHarness h;
    std::stop_source stop;
    const ProgramResult r = h.job.ProgramThreadProc(stop.get_token());
    EXPECT_EQ(r.ending, ProgramEnding::NoFile);
    EXPECT_EQ(h.display.MessageBoxes(), std::vector<std::string>{"请选择烧写文件！"});
    EXPECT_TRUE(h.display.Commands().empty());
    EXPECT_TRUE(h.programmer->Log().empty());

    // A path emptied after the wait is caught by the job itself.
    EXPECT_EQ(h.job.ProgramFlash().ending, ProgramEnding::NoFile);
    EXPECT_EQ(h.display.Commands(), Seq{Reset()});
    EXPECT_EQ(h.display.MessageBoxes(), std::vector<std::string>(2, "请选择烧写文件！"));
}

TEST(ProgramJobEnding, AWaitThatRunsOutEndsWithoutTouchingTheDisplay) {
    JobHarness h;
    h.link.Clear();
    const ProgramResult r = h.job.ProgramThreadProc({}, std::chrono::steady_clock::now());
    EXPECT_EQ(r.ending, ProgramEnding::NoProgrammer);
    EXPECT_TRUE(h.display.Commands().empty());
}

}  // namespace
}  // namespace tarnwick
