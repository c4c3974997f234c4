#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::testing {

// A file in a private temporary directory, removed with the object.
class TempFile {
  public:
    explicit TempFile(const std::vector<std::uint8_t>& contents, const std::string& name = "f.bin");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& Path() const { return path; }
    const std::string& Dir() const { return dir; }

  private:
    std::string dir;
    std::string path;
};

// Bytes that differ from page to page and from 0xFF, so misplaced pages show.
std::vector<std::uint8_t> PatternBytes(std::size_t length, std::uint8_t seed = 1);

}  // namespace tarnwick::testing
