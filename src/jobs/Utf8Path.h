#pragma once

#include <filesystem>
#include <string>

namespace tarnwick {

// Paths are UTF-8 inside the program. A std::filesystem::path made from a plain string takes
// it in the system's narrow code page (on Windows not UTF-8), so a path made here is what
// reaches the system, as UTF-16 where the system wants that.
inline std::filesystem::path Utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace tarnwick
