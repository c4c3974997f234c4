// The display commands of every way a programming job can end.
#include <gtest/gtest.h>

#include "JobHarness.h"

namespace tarnwick {
namespace {

using namespace tarnwick::testing;
using Seq = std::vector<Shown>;

TEST(ProgramJobEnding, SuccessLogsEachStageAndEndsGreenWithTheButtonBack) {
    JobHarness h;
    const ProgramResult r = h.Run(PatternBytes(1000));
    EXPECT_EQ(r.ending, ProgramEnding::Success) << r.detail;
    EXPECT_EQ(
        h.display.Commands(),
        (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("写入数据中.."), Progress(0),
             Progress(51), Text("写入数据完成.."), Progress(0), Enable(true), Result(true)}));
    EXPECT_TRUE(h.stdoutLines.str().empty());
}

TEST(ProgramJobEnding, AProgrammerThatDoesNotAnswerIsToldAndNothingIsErased) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.muteLinkQuery = true; });
    const ProgramResult r = h.Run(PatternBytes(1000));
    EXPECT_EQ(r.ending, ProgramEnding::NotAnswering);
    EXPECT_NE(r.detail.find("link status query"), std::string::npos) << r.detail;
    EXPECT_EQ(h.display.Commands(), (Seq{Reset(), Text("设备不在线.. ")}));
    EXPECT_TRUE(h.EraseAddresses().empty());

    JobHarness none;  // no programmer at all counts the same
    none.link.Clear();
    EXPECT_EQ(none.Run(PatternBytes(10)).ending, ProgramEnding::NotAnswering);
    EXPECT_TRUE(none.programmer->Log().empty());
}

TEST(ProgramJobEnding, AFileThatCannotBeOpenedEndsRed) {
    JobHarness h;
    h.path.Set("/nonexistent/firmware.bin");
    const ProgramResult r = h.job.ProgramFlash();
    EXPECT_EQ(r.ending, ProgramEnding::OpenFailed);
    EXPECT_NE(r.detail.find("/nonexistent/firmware.bin"), std::string::npos);
    EXPECT_EQ(h.display.Commands(), (Seq{Reset(), Text("打开烧写文件失败.. "), Progress(0),
                                         Enable(true), Result(false)}));
    EXPECT_TRUE(h.EraseAddresses().empty());
}

TEST(ProgramJobEnding, AnEmptyFileIsRefusedBeforeAnythingIsErased) {
    JobHarness h;
    const ProgramResult r = h.Run({});
    EXPECT_EQ(r.ending, ProgramEnding::EmptyFile);
    EXPECT_EQ(h.display.Commands(),
              (Seq{Reset(), Text("烧写文件为空.. "), Progress(0), Enable(true), Result(false)}));
    EXPECT_TRUE(h.EraseAddresses().empty());
    EXPECT_TRUE(h.WriteAddresses().empty());
}

TEST(ProgramJobEnding, AnEraseFailureIsToldOnTheDisplayAndOnStandardOutput) {
    JobHarness h;
    h.Faults([](FaultPlan& p) { p.failEraseBlock = 2; });
    const ProgramResult r = h.Run(PatternBytes(3 * 65536 + 1));
    EXPECT_EQ(r.ending, ProgramEnding::EraseFailed);
    EXPECT_NE(r.detail.find("block erase at 0x020000"), std::string::npos) << r.detail;
    EXPECT_EQ(h.display.Commands(),
              (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("擦除Flash 失败.. "),
                   Progress(0), Enable(true), Result(false)}));
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
    EXPECT_NE(r.detail.find("page write at 0x000200: programmer reported write status 2"),
              std::string::npos)
        << r.detail;
    EXPECT_EQ(h.display.Commands(),
              (Seq{Reset(), Enable(false), Text("擦除Flash 中.."), Text("写入数据中.."),
                   Progress(0), Text("write data err .."), Result(false), Text("写入数据完成.."),
                   Progress(0), Enable(true), Result(false)}));
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
