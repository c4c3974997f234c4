#include "TempFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tarnwick::testing {

TempFile::TempFile(const std::vector<std::uint8_t>& contents, const std::string& name) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir = tmpl;
    path = dir + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::vector<std::uint8_t> PatternBytes(std::size_t length, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t x = seed * 2654435761u + 1u;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

}  // namespace tarnwick::testing
