#include "cli/OwnLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace tarnwick::cli {
namespace {

std::multiset<std::string> Placeholders(std::string_view text) {
    std::multiset<std::string> found;
    for (std::size_t at = text.find('{'); at != std::string_view::npos;
         at = text.find('{', at + 1)) {
        found.insert(std::string(text.substr(at, 3)));
    }
    return found;
}

// A Chinese line that drops or doubles a value loses a file name or says it twice; an English
// line listed twice leaves its second Chinese unused.
TEST(OwnLines, EveryChineseLineTakesExactlyTheValuesOfItsEnglishOne) {
    std::set<std::string_view> seen;
    for (const OwnLine& line : OwnLines()) {
        EXPECT_EQ(Placeholders(line.chinese), Placeholders(line.english)) << line.english;
        EXPECT_FALSE(line.chinese.empty()) << line.english;
        EXPECT_TRUE(seen.insert(line.english).second) << "listed twice: " << line.english;
    }
}

// Table columns and progress rows are measured in terminal columns: a Chinese character is three
// bytes and two columns, and is never cut in two.
TEST(OwnLines, ColumnsCountChineseCharactersAsTwo) {
    EXPECT_EQ(Columns("结果 ok"), 7);
    EXPECT_EQ(PadColumns("结果", 6), "结果  ");
    EXPECT_EQ(PadColumns("ok", 4, true), "  ok");
    EXPECT_EQ(CutColumns("已写入，拔下", 5), "已写");
    EXPECT_EQ(CutColumns("ab已写", 4), "ab已");
}

}  // namespace
}  // namespace tarnwick::cli
