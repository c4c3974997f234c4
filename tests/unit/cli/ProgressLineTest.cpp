#include <gtest/gtest.h>

#include "cli/ProgressLine.h"

namespace tarnwick::cli {
namespace {

using namespace std::chrono_literals;

TEST(ProgressLine, LeavesOutRateAndTimeUntilThereIsSomethingToMeasure) {
    const std::string line = FormatProgressLine(0, 1000, 0s, 80);
    EXPECT_NE(line.find("  0%  0 B / 1000 B"), std::string::npos) << line;
    EXPECT_EQ(line.find("left"), std::string::npos);
}

TEST(ProgressLine, DropsTheBarOnANarrowTerminalAndNeverOverflowsAtTheEnd) {
    const std::string narrow = FormatProgressLine(300, 1000, 1s, 20);
    EXPECT_EQ(narrow.find('['), std::string::npos);
    EXPECT_EQ(narrow.substr(0, 4), " 30%");
    const std::string done = FormatProgressLine(1200, 1000, 1s, 80);
    EXPECT_NE(done.find("100%"), std::string::npos) << "done is clamped to the total";
    EXPECT_NE(done.find("00:00 left"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::cli
