// The terminal's progress line: it never wraps, its bar keeps its width while the numbers
// change, and what does not fit goes, the rate and time left first.
#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

namespace tarnwick::cli {
namespace {

using std::chrono::duration;

TEST(ProgressLine, FitsKeepsItsBarAndDropsTheRateFirst) {
    const std::uint64_t total = 1536ull * 1024 * 1024;  // 1.5 GiB: the widest byte counts
    const struct {
        std::uint64_t done;
        double seconds;
    } moments[] = {{0, 0}, {512, 0.01}, {total / 3, 2.5}, {total - 512, 3000}, {total, 3600}};
    for (const int width : {120, 80, 64, 63, 40, 20, 12}) {
        std::size_t barEnd = std::string::npos;
        for (const auto& m : moments) {
            const std::string line =
                FormatProgressLine(m.done, total, duration<double>(m.seconds), width);
            SCOPED_TRACE("width " + std::to_string(width) + ": \"" + line + "\"");
            EXPECT_LE(static_cast<int>(line.size()), width - 1);
            const std::size_t end = line.find(']');
            if (barEnd == std::string::npos) {
                barEnd = end;
            }
            EXPECT_EQ(end, barEnd) << "the bar changed its width";
            // The time left only once a rate is known.
            EXPECT_EQ(line.find("left") != std::string::npos,
                      width >= 64 && m.seconds > 0.05 && m.done > 0);
            EXPECT_EQ(line.find(" / ") != std::string::npos, width >= 38);
            EXPECT_NE(line.find('%'), std::string::npos);
        }
    }
}

TEST(ProgressLine, PipedLineHasNoBarAndNoPadding) {
    EXPECT_EQ(FormatProgressLine(524288, 1048576, duration<double>(1.0), 0),
              " 50%  512.0 KiB / 1.0 MiB  512.0 KiB/s  00:01 left");
    EXPECT_EQ(FormatProgressLine(0, 1048576, duration<double>(0), 0), "  0%  0 B / 1.0 MiB");
}

}  // namespace
}  // namespace tarnwick::cli
