// The --log record's time: UTC to the millisecond, worked out without the C library's calendar.
#include <gtest/gtest.h>

#include <chrono>

#include "cli/JobRecord.h"

namespace tarnwick::cli {
namespace {

TEST(UtcTimestamp, CalendarDateAndTimeToTheMillisecond) {
    using namespace std::chrono;
    const struct {
        sys_days day;
        milliseconds sinceMidnight;
        const char* text;
    } cases[] = {
        {sys_days{1970y / January / 1}, 0ms, "1970-01-01T00:00:00.000Z"},
        {sys_days{2026y / December / 7}, 20h + 18min + 12s + 345ms, "2026-12-07T20:18:12.345Z"},
        {sys_days{2024y / February / 29}, 24h - 1ms, "2024-02-29T23:59:59.999Z"},
        {sys_days{2100y / March / 1}, 9ms, "2100-03-01T00:00:00.009Z"},
    };
    for (const auto& c : cases) {
        // Microseconds below the millisecond are dropped, never rounded up.
        const system_clock::time_point time = c.day + c.sinceMidnight + 999us;
        EXPECT_EQ(UtcTimestamp(time), c.text);
    }
}

}  // namespace
}  // namespace tarnwick::cli
