#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tarnwick::cli {

// "[#######-----]  42%  430.1 KiB / 1.0 MiB  512.0 KiB/s  00:01 left" in `width` columns less
// one, the bar keeping its width as the numbers change; narrower, the rate and time left go
// first. Width 0: the same without the bar, for a line of its own. Rate and time left are left
// out until there is something to measure.
std::string FormatProgressLine(std::uint64_t done, std::uint64_t total,
                               std::chrono::duration<double> elapsed, int width);

// 1536 -> "1.5 KiB"; below 1 KiB in bytes.
std::string FormatBytes(double bytes);

}  // namespace tarnwick::cli
