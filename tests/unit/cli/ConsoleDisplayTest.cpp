#include <gtest/gtest.h>

#include <sstream>

#include "cli/ConsoleDisplay.h"

namespace tarnwick::cli {
namespace {

TEST(ConsoleDisplay, PrintsJobMessagesAndPlainProgressLinesWhenNotATerminal) {
    std::ostringstream out;
    ConsoleDisplay console(out, false);
    console.Reset();
    console.Text("写入数据中..");
    for (std::uint64_t done = 512; done <= 10240; done += 512) {
        console.PageConfirmed(done, 10240);
    }
    console.Result(true);
    const std::string text = out.str();
    EXPECT_EQ(text.find("写入数据中..\n"), 0u);
    EXPECT_EQ(text.find('\r'), std::string::npos) << "no terminal control codes in a log file";
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, 1 + 11) << "one line per tenth (0 to 10), not one per page:\n" << text;
    EXPECT_NE(text.find("progress 100%"), std::string::npos);
}

TEST(ConsoleDisplay, RedrawsTheBarInPlaceAndKeepsMessagesAboveIt) {
    std::ostringstream out;
    ConsoleDisplay console(out, true, 80);
    console.Reset();
    console.PageConfirmed(512, 1024);
    console.Text("write data err ..");
    console.Finish();
    const std::string text = out.str();
    const auto message = text.find("\r\033[Kwrite data err ..\n");
    ASSERT_NE(message, std::string::npos) << "the bar is cleared before a message";
    EXPECT_NE(text.find("50%", message), std::string::npos) << "and drawn again below it";
    EXPECT_EQ(text.back(), '\n');
}

TEST(ConsoleDisplay, ShowsMessageBoxTextsAsLines) {
    std::ostringstream out;
    ConsoleDisplay console(out, false);
    console.ShowMessage("请选择烧写文件！");
    EXPECT_EQ(out.str(), "请选择烧写文件！\n");
}

}  // namespace
}  // namespace tarnwick::cli
