#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "link/Fault.h"

namespace tarnwick {

// A firmware file opened for reading, and what it was when opened, so a job can tell whether
// the bytes it wrote are still those of the file it names. Only regular files are taken: a
// FIFO, socket or device could block the job forever or never end. Not thread-safe.
class FirmwareFile {
  public:
    FirmwareFile() = default;
    FirmwareFile(const FirmwareFile&) = delete;
    FirmwareFile& operator=(const FirmwareFile&) = delete;
    ~FirmwareFile();

    // Opens `path` without ever blocking and notes its identity; fails e.g. with
    // "<path> is a directory".
    Result<void> Open(const std::string& path);

    std::FILE* Stream() const { return stream; }
    // The length when it was opened.
    std::uint64_t Length() const { return static_cast<std::uint64_t>(size); }

    // Succeeds while the path still names the file opened and its contents were not
    // rewritten; otherwise fails saying what happened to it.
    Result<void> Unchanged() const;

    void Close();

  private:
    std::FILE* stream = nullptr;
    std::string path;
    // Which file it is on which volume, and its length and last change when opened.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
};

}  // namespace tarnwick
