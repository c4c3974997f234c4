// The board as a terminal shows it: the escape sequences played on a screen of lines.
#include "cli/ProgressBoard.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarnwick::cli {
namespace {

// What a terminal shows after `output`: carriage return, newline, cursor up (ESC [ n A) and
// erase to the end of the line (ESC [ K); anything else is text.
std::vector<std::string> Screen(const std::string& output) {
    std::vector<std::string> lines(1);
    std::size_t row = 0;
    std::size_t column = 0;
    for (std::size_t i = 0; i < output.size(); ++i) {
        const char c = output[i];
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            if (++row == lines.size()) {
                lines.emplace_back();
            }
            column = 0;
        } else if (c == '\033' && output.compare(i, 2, "\033[") == 0) {
            const std::size_t end = output.find_first_of("AK", i + 2);
            if (output[end] == 'A') {
                row -= std::min<std::size_t>(row, std::stoul(output.substr(i + 2, end - i - 2)));
            } else {
                lines[row].resize(std::min(lines[row].size(), column));
            }
            i = end;
        } else {
            lines[row].resize(std::max(lines[row].size(), column + 1), ' ');
            lines[row][column++] = c;
        }
    }
    return lines;
}

TEST(ProgressBoard, OnATerminalKeepsOneLineEachBelowTheMessages) {
    std::ostringstream out;
    ProgressBoard board(out, true, 70);
    board.Line("station: two programmers");
    ProgressBoard::Row& first = board.AddRow("1-1", "plugged in");
    ProgressBoard::Row& second = board.AddRow("1-2", "plugged in");
    second.PageConfirmed(512, 1024);
    first.Line("erasing..");
    first.PageConfirmed(1024, 1024);
    second.Ended("write failed");
    board.Line("a longer line of the station's own, drawn above both programmers");
    board.Finish();

    const std::vector<std::string> screen = Screen(out.str());
    ASSERT_EQ(screen.size(), 6u) << out.str();  // the last newline leaves an empty line
    EXPECT_EQ(screen[0], "station: two programmers");
    EXPECT_EQ(screen[1], "[1-1] erasing..");
    EXPECT_EQ(screen[2], "a longer line of the station's own, drawn above both programmers");
    EXPECT_TRUE(screen[3].starts_with("[1-1] [")) << screen[3];
    EXPECT_NE(screen[3].find("100%"), std::string::npos) << screen[3];
    EXPECT_LE(screen[3].size(), 70u);
    EXPECT_EQ(screen[4], "[1-2] write failed");
    EXPECT_EQ(screen[5], "");
}

}  // namespace
}  // namespace tarnwick::cli
