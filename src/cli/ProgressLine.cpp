#include "cli/ProgressLine.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick::cli {

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

std::string FormatProgressLine(std::uint64_t done, std::uint64_t total,
                               std::chrono::duration<double> elapsed, int width) {
    done = std::min(done, total);
    const double fraction =
        total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);

    char tail[128];
    int used = std::snprintf(tail, sizeof tail, " %3d%%  %s / %s", static_cast<int>(fraction * 100),
                             FormatBytes(static_cast<double>(done)).c_str(),
                             FormatBytes(static_cast<double>(total)).c_str());
    const double seconds = elapsed.count();
    if (seconds > 0.05 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        const auto left = static_cast<long>(static_cast<double>(total - done) / rate + 0.5);
        std::snprintf(tail + used, sizeof tail - static_cast<std::size_t>(used),
                      "  %s/s  %02ld:%02ld left", FormatBytes(rate).c_str(), left / 60, left % 60);
    }

    const std::string text = tail;
    const int barWidth = std::clamp(width - static_cast<int>(text.size()) - 3, 0, 40);
    if (barWidth < 5) {
        return text.substr(1);
    }
    const int filled = static_cast<int>(fraction * barWidth);
    std::string line = "[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(barWidth - filled), '-');
    line += "]";
    return line + text;
}

}  // namespace tarnwick::cli
