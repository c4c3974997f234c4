#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "jobs/Utf8Path.h"

namespace tarnwick::testing {

// A file in a private temporary directory, removed with the object.
class TempFile {
  public:
    explicit TempFile(const std::vector<std::uint8_t>& contents,
                      const std::string& name = "f.bin") {
        // A fresh directory of its own; create_directory is false for one that exists.
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (int tries = 0; dir.empty(); ++tries) {
            const auto candidate = base / ("tarnwick-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                dir = candidate.string();
            } else if (tries == 100) {
                throw std::runtime_error("no temporary directory");
            }
        }
        path = dir + "/" + name;
        std::ofstream(Utf8Path(path), std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   static_cast<std::streamsize>(contents.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path; }
    const std::string& Dir() const { return dir; }

  private:
    std::string dir;
    std::string path;
};

// Files at UTF-8 paths as text: the whole of one (empty when there is none), a new one.
inline std::string ReadText(const std::string& path) {
    std::ifstream in(Utf8Path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(Utf8Path(path), std::ios::binary) << text;
}

// Bytes that differ from page to page and from 0xFF, so misplaced pages show.
inline std::vector<std::uint8_t> PatternBytes(std::size_t length, std::uint8_t seed = 1) {
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t x = seed * 2654435761u + 1u;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return bytes;
}

}  // namespace tarnwick::testing
