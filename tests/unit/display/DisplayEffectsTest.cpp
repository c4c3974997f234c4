#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "display/DisplayEffects.h"

namespace tarnwick {
namespace {

using Lines = std::vector<std::string>;

struct FakeDisplay : DisplayTarget {
    Lines lines{"a", "b", "c"};
    BarColours colours{0x11, 0x22};
    int pos = 77;
    bool enabled = false;

    int LogLineCount() const override { return static_cast<int>(lines.size()); }
    void DeleteLogLine(int index) override { lines.erase(lines.begin() + index); }
    void AppendLogLine(std::string_view text) override { lines.emplace_back(text); }
    void SetBarColours(BarColours c) override { colours = c; }
    void SetBarPos(int p) override { pos = p; }
    void EnableUpdateButton(bool on) override { enabled = on; }
};

TEST(DisplayEffects, EachCommandChangesOnlyWhatItStandsFor) {
    constexpr BarColours kStart{0x11, 0x22};
    constexpr BarColours kRedToBlue{0x000000FF, 0x00FF0000};
    constexpr BarColours kGreen{0x0001FF00, 0x0000FF00};
    constexpr BarColours kRed{0x000100FF, 0x000000FF};
    const Lines kept{"a", "b", "c"};
    const auto check = [](const char* what, std::initializer_list<DisplayMessage> sent,
                          const Lines& lines, BarColours colours, int pos, bool enabled) {
        SCOPED_TRACE(what);
        FakeDisplay d;
        for (const DisplayMessage& message : sent) {
            ApplyDisplayMessage(d, message);
        }
        EXPECT_EQ(d.lines, lines);
        EXPECT_EQ(d.colours, colours);
        EXPECT_EQ(d.pos, pos);
        EXPECT_EQ(d.enabled, enabled);
    };
    check("reset empties the log and puts the bar to 0", {{DISPLAY_RESET, 0, nullptr}}, {}, kStart,
          0, false);
    check("texts are appended in sending order",
          {{DISPLAY_TEXT, 0, "擦除Flash 中.."}, {DISPLAY_TEXT, 0, "写入数据中.."}},
          {"a", "b", "c", "擦除Flash 中..", "写入数据中.."}, kStart, 77, false);
    check("progress after a result: the red-to-blue gradient again",
          {{DISPLAY_RESULT, 1, nullptr}, {DISPLAY_PROGRESS, 37, nullptr}}, kept, kRedToBlue, 37,
          false);
    check("success after a failure: a full green bar",
          {{DISPLAY_RESULT, 0, nullptr}, {DISPLAY_RESULT, 1, nullptr}}, kept, kGreen, 100, false);
    check("failure after a success: a full red bar",
          {{DISPLAY_RESULT, 1, nullptr}, {DISPLAY_RESULT, 0, nullptr}}, kept, kRed, 100, false);
    check("any non-zero result is success", {{DISPLAY_RESULT, -5, nullptr}}, kept, kGreen, 100,
          false);
    check("any non-zero value enables", {{DISPLAY_ENABLE, 2, nullptr}}, kept, kStart, 77, true);
    check("zero disables", {{DISPLAY_ENABLE, 1, nullptr}, {DISPLAY_ENABLE, 0, nullptr}}, kept,
          kStart, 77, false);
    check("unknown commands change nothing", {{5, 1, "text"}, {-1, 1, "text"}, {1000, 1, "text"}},
          kept, kStart, 77, false);
}

}  // namespace
}  // namespace tarnwick
