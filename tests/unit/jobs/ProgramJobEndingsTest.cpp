// The display commands of every way a programming job can end.
#include <gtest/gtest.h>

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
    EXPECT_FALSE(r.fault);
    EXPECT_EQ(r.bytesWritten, 1000u);
    EXPECT_EQ(
        h.display.commands,
        (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("写入数据中.."), Progress(0),
             Progress(51), Text("写入数据完成.."), Progress(0), Enable(true), Bar(true)}));
    EXPECT_TRUE(h.stdoutLines.str().empty());
}

// Paths are UTF-8 inside: a file named in Chinese is the file written, on every system.
TEST(ProgramJobEnding, AFirmwareFileNamedInChineseOpensAndIsWritten) {
    JobHarness h;
    TempFile file(PatternBytes(1000), "固件.bin");
    h.path.Set(file.Path());
    const ProgramResult r = h.job.ProgramFlash();
    EXPECT_EQ(r.ending, ProgramEnding::Success) << Why(r.fault);
    EXPECT_EQ(r.bytesWritten, 1000u);
}

// Nothing is erased for a programmer that does not answer (or is not there) or for a file that
// cannot be written: anything but a regular file is refused at once (FIFOs: SpecialFileTest.cpp),
// and an empty file has nothing to write.
TEST(ProgramJobEnding, WhatEndsTheJobBeforeTheEraseIsToldAndErasesNothing) {
    TempFile dir({});
    TempFile empty({});
    const auto redAfter = [](const char* line) {
        return Seq{Reset(), Text(line), Progress(0), Enable(true), Bar(false)};
    };
    const struct {
        std::function<void(JobHarness&)> setUp;
        ProgramEnding ending;
        std::string why;
        Seq shown;
    } cases[] = {
        {[](JobHarness& h) { h.programmer->SetFaults({.muteLinkQuery = true}); },
         ProgramEnding::NotAnswering,
         "link status query: emulated programmer: no answer (time-out)",
         {Reset(), Text("设备不在线.. ")}},
        {[](JobHarness& h) { h.link.Clear(); },
         ProgramEnding::NotAnswering,
         "link status query: no programmer",
         {Reset(), Text("设备不在线.. ")}},
        {[](JobHarness& h) { h.path.Set("/nonexistent/firmware.bin"); }, ProgramEnding::OpenFailed,
         "/nonexistent/firmware.bin: No such file or directory", redAfter("打开烧写文件失败.. ")},
        {[&](JobHarness& h) { h.path.Set(dir.Dir()); }, ProgramEnding::OpenFailed,
         dir.Dir() + " is a directory", redAfter("打开烧写文件失败.. ")},
        {[&](JobHarness& h) { h.path.Set(empty.Path()); }, ProgramEnding::EmptyFile,
         empty.Path() + " is empty", redAfter("烧写文件为空.. ")},
    };
    for (const auto& c : cases) {
        JobHarness h;
        TempFile file(PatternBytes(1000));
        h.path.Set(file.Path());
        c.setUp(h);
        const ProgramResult r = h.job.ProgramFlash();
        EXPECT_EQ(r.ending, c.ending) << c.why;
        EXPECT_EQ(Why(r.fault), c.why);
        EXPECT_EQ(h.display.commands, c.shown) << c.why;
        EXPECT_TRUE(h.EraseAddresses().empty()) << c.why;
    }
}

// Confirmed pages are the file's only if nobody changed it meanwhile: `cp new.bin fw.bin` during
// the job leaves a mix in the flash, a file renamed over it is not the one that was written. It
// ends as any write error does (AWriteErrorEndsRedAfterTheEndOfWritingLine). Windows may refuse
// to rename over a file in use: then the job writes the file it opened and succeeds.
TEST(ProgramJobEnding, AFileChangedDuringTheWriteEndsAsAWriteError) {
    for (const std::string change : {"rewritten in place", "replaced by another file"}) {
        JobHarness h;
        std::error_code refused;
        TempFile file(PatternBytes(2048));
        // Made long ago, as firmware files are: a rewrite must show in the time even when it
        // lands within the clock tick of the file's creation.
        std::filesystem::last_write_time(
            file.Path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        h.path.Set(file.Path());
        h.display.onSend = [&](const DisplayMessage& m) {
            if (m.command != DISPLAY_PROGRESS || m.value != 0 || h.WriteAddresses().size() != 1) {
                return;
            }
            if (change == "rewritten in place") {
                std::ofstream(file.Path(), std::ios::binary | std::ios::in)
                    .write(std::string(2048, 'x').data(), 2048);
            } else {
                std::filesystem::rename(TempFile(PatternBytes(4096, 9)).Path(), file.Path(),
                                        refused);
            }
        };
        const ProgramResult r = h.job.ProgramFlash();
        if (refused) {
            EXPECT_EQ(r.ending, ProgramEnding::Success) << refused.message() << Why(r.fault);
            continue;
        }
        EXPECT_EQ(r.ending, ProgramEnding::WriteFailed) << change;
        EXPECT_EQ(Why(r.fault), file.Path() + " changed during the write (" + change + ")");
        EXPECT_TRUE(h.display.EndedRed()) << change;
    }
}

TEST(ProgramJobEnding, AnEraseFailureIsToldOnTheDisplayAndOnStandardOutput) {
    JobHarness h;
    h.programmer->SetFaults({.failEraseBlock = 2});
    const ProgramResult r = h.Run(PatternBytes(3 * 65536 + 1));
    EXPECT_EQ(r.ending, ProgramEnding::EraseFailed);
    EXPECT_EQ(Why(r.fault), "block erase at 0x020000: erase reply fb 01, expected fb 00");
    EXPECT_EQ(h.display.commands,
              (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("擦除Flash 失败.. "),
                   Progress(0), Enable(true), Bar(false)}));
    EXPECT_EQ(h.stdoutLines.str(), "擦出Flash 失败..\n");
    EXPECT_EQ(h.EraseAddresses(), (std::vector<std::uint32_t>{0, 0x10000, 0x20000}))
        << "blocks 0 and 1 were erased, nothing after the failing one";
    EXPECT_TRUE(h.WriteAddresses().empty());
}

TEST(ProgramJobEnding, AWriteErrorEndsRedAfterTheEndOfWritingLine) {
    JobHarness h;
    h.programmer->SetFaults({.failPage = {512}});
    const ProgramResult r = h.Run(PatternBytes(2048));
    EXPECT_EQ(r.ending, ProgramEnding::WriteFailed);
    EXPECT_EQ(Why(r.fault), "page write at 0x000200: programmer reported write status 2");
    EXPECT_EQ(h.display.commands,
              (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("写入数据中.."),
                   Progress(0), Text("write data err .."), Bar(false), Text("写入数据完成.."),
                   Progress(0), Enable(true), Bar(false)}));
    EXPECT_EQ(h.WriteAddresses(), (std::vector<std::uint32_t>{0, 512}))
        << "status 2 ends the job without a rewrite, and later pages are not written";
}

TEST(ProgramJobEnding, NoFileChosenOrNoProgrammerInTimeEndsBeforeAnyDisplayCommand) {
    JobHarness h;
    std::stop_source stop;
    EXPECT_EQ(h.job.ProgramThreadProc(stop.get_token()).ending, ProgramEnding::NoFile);
    EXPECT_EQ(h.display.boxes, std::vector<std::string>{"请选择烧写文件！"});
    EXPECT_TRUE(h.display.commands.empty());
    EXPECT_TRUE(h.programmer->Log().empty());

    // A path emptied after the wait is caught by the job itself.
    EXPECT_EQ(h.job.ProgramFlash().ending, ProgramEnding::NoFile);
    EXPECT_EQ(h.display.commands, Seq{Reset()});

    JobHarness none;
    none.link.Clear();
    const ProgramResult r = none.job.ProgramThreadProc({}, std::chrono::steady_clock::now());
    EXPECT_EQ(r.ending, ProgramEnding::NoProgrammer);
    EXPECT_TRUE(none.display.commands.empty());
}

}  // namespace
}  // namespace tarnwick
