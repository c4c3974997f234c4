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

// Which tenth of the work is done, 0 to 10 (10 for no work at all): a piped progress line is
// written once per tenth, so a log holds eleven of them at most, however long the job.
int TenthDone(std::uint64_t done, std::uint64_t total);

// 1536 -> "1.5 KiB"; below 1 KiB in bytes.
std::string FormatBytes(double bytes);

}  // namespace tarnwick::cli
