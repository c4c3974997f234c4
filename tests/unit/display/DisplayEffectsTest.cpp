#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "display/DisplayEffects.h"

namespace tarnwick {
namespace {

struct FakeDisplay : DisplayTarget {
    std::vector<std::string> lines;
    BarColours colours{0x11, 0x22};
    int pos = -1;
    bool enabled = false;

    int LogLineCount() const override { return static_cast<int>(lines.size()); }
    void DeleteLogLine(int index) override { lines.erase(lines.begin() + index); }
    void AppendLogLine(std::string_view text) override { lines.emplace_back(text); }
    void SetBarColours(BarColours c) override { colours = c; }
    void SetBarPos(int p) override { pos = p; }
    void EnableUpdateButton(bool on) override { enabled = on; }
};

TEST(DisplayReset, EmptiesTheLogWhateverItHeldAndPutsTheBarToZeroKeepingColours) {
    for (int count : {1, 2, 3, 100}) {
        FakeDisplay d;
        d.lines.assign(static_cast<std::size_t>(count), "line");
        d.pos = 77;
        ApplyDisplayMessage(d, {DISPLAY_RESET, 0, nullptr});
        EXPECT_TRUE(d.lines.empty()) << count << " lines";
        EXPECT_EQ(d.pos, 0);
        EXPECT_EQ(d.colours, (BarColours{0x11, 0x22}));
    }
}

TEST(DisplayText, AppendsEachTextInSendingOrderEvenFromAReusedBuffer) {
    FakeDisplay d;
    d.lines = {"old"};
    char buffer[512];
    for (const char* text : {"擦除Flash 中..", "写入数据中..", "写入数据完成.."}) {
        std::strcpy(buffer, text);
        ApplyDisplayMessage(d, {DISPLAY_TEXT, 0, buffer});
    }
    std::strcpy(buffer, "overwritten after the send");
    EXPECT_EQ(d.lines, (std::vector<std::string>{"old", "擦除Flash 中..", "写入数据中..",
                                                 "写入数据完成.."}));
}

TEST(DisplayProgress, ReturnsToTheRedToBlueGradientAfterAResult) {
    FakeDisplay d;
    ApplyDisplayMessage(d, {DISPLAY_RESULT, 1, nullptr});
    ApplyDisplayMessage(d, {DISPLAY_PROGRESS, 37, nullptr});
    EXPECT_EQ(d.colours, (BarColours{0x000000FF, 0x00FF0000}));
    EXPECT_EQ(d.pos, 37);
}

TEST(DisplayResult, PaintsAFullBarInTheColourOfTheLastResult) {
    FakeDisplay d;
    ApplyDisplayMessage(d, {DISPLAY_RESULT, 0, nullptr});
    ApplyDisplayMessage(d, {DISPLAY_RESULT, 1, nullptr});
    EXPECT_EQ(d.colours, (BarColours{0x0001FF00, 0x0000FF00}));
    EXPECT_EQ(d.pos, 100);

    ApplyDisplayMessage(d, {DISPLAY_RESULT, 0, nullptr});
    EXPECT_EQ(d.colours, (BarColours{0x000100FF, 0x000000FF}));
    EXPECT_EQ(d.pos, 100);
}

TEST(DisplayEnable, AnyNonZeroValueEnablesTheUpdateButton) {
    FakeDisplay d;
    ApplyDisplayMessage(d, {DISPLAY_ENABLE, 2, nullptr});
    EXPECT_TRUE(d.enabled);
    ApplyDisplayMessage(d, {DISPLAY_ENABLE, 0, nullptr});
    EXPECT_FALSE(d.enabled);
}

TEST(DisplayUnknownCommand, ChangesNothing) {
    FakeDisplay d;
    d.lines = {"a"};
    d.pos = 5;
    for (int command : {5, -1, 1000}) {
        ApplyDisplayMessage(d, {command, 1, "text"});
    }
    EXPECT_EQ(d.lines, std::vector<std::string>{"a"});
    EXPECT_EQ(d.pos, 5);
    EXPECT_FALSE(d.enabled);
    EXPECT_EQ(d.colours, (BarColours{0x11, 0x22}));
}

}  // namespace
}  // namespace tarnwick
