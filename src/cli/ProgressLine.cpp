#include "cli/ProgressLine.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "cli/OwnLines.h"

namespace tarnwick::cli {

int TenthDone(std::uint64_t done, std::uint64_t total) {
    return total == 0 ? 10 : static_cast<int>(done * 10 / total);
}

std::string FormatBytes(double bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 3) {
        bytes /= 1024.0;
        ++unit;
    }
    char buf[32];
    if (unit == 0) {
        std::snprintf(buf, sizeof buf, "%.0f B", bytes);
    } else {
        std::snprintf(buf, sizeof buf, "%.1f %s", bytes, units[unit]);
    }
    return buf;
}

namespace {

// The narrowest bar worth drawing.
constexpr int kMinBar = 5;
constexpr int kMaxBar = 40;

// "01:05 left"; at most "99:59" so the field keeps its width.
std::string TimeLeft(double seconds) {
    const long left = std::clamp(static_cast<long>(seconds + 0.5), 0L, 99L * 60 + 59);
    char text[48];
    std::snprintf(text, sizeof text, "%02ld:%02ld", left / 60, left % 60);
    return Say("{1} left", {text});
}

}  // namespace

std::string FormatProgressLine(std::uint64_t done, std::uint64_t total,
                               std::chrono::duration<double> elapsed, int width) {
    done = std::min(done, total);
    const double fraction =
        total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int percent = static_cast<int>(fraction * 100);
    const std::string doneText = FormatBytes(static_cast<double>(done));
    const std::string totalText = FormatBytes(static_cast<double>(total));
    // The rate and the time left only once there is something to measure.
    const double seconds = elapsed.count();
    const std::optional<double> rate = seconds > 0.05 && done > 0
                                           ? std::optional(static_cast<double>(done) / seconds)
                                           : std::nullopt;
    char text[160];
    if (width <= 0) {  // a line of its own
        int used = std::snprintf(text, sizeof text, "%3d%%  %s / %s", percent, doneText.c_str(),
                                 totalText.c_str());
        if (rate) {
            std::snprintf(text + used, sizeof text - static_cast<std::size_t>(used), "  %s/s  %s",
                          FormatBytes(*rate).c_str(),
                          TimeLeft(static_cast<double>(total - done) / *rate).c_str());
        }
        return text;
    }

    // On a terminal every field has a fixed width, so the bar keeps its width while the numbers
    // change; what does not fit goes, the rate and the time left first. The last column stays
    // free: some terminals wrap when it is written.
    std::snprintf(text, sizeof text, " %3d%%", percent);
    const std::string percentField = text;
    std::snprintf(text, sizeof text, "  %10s / %-10s", doneText.c_str(), totalText.c_str());
    const std::string amountField = text;
    std::snprintf(
        text, sizeof text, "  %10s/s  %s", rate ? FormatBytes(*rate).c_str() : "",
        rate ? TimeLeft(static_cast<double>(total - done) / *rate).c_str() : "          ");
    const std::string paceField = text;

    const int usable = width - 1;
    std::string tail = percentField + amountField + paceField;
    for (const std::string& shorter : {percentField + amountField, percentField}) {
        if (Columns(tail) + 2 + kMinBar <= usable) {
            break;
        }
        tail = shorter;
    }
    const int barWidth = std::min(usable - Columns(tail) - 2, kMaxBar);
    if (barWidth < kMinBar) {
        return tail.substr(1, static_cast<std::size_t>(std::max(usable, 0)));
    }
    const int filled = static_cast<int>(fraction * barWidth);
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(barWidth - filled), '-');
    line += "]";
    return line + tail;
}

}  // namespace tarnwick::cli
