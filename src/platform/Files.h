#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "link/Fault.h"

namespace tarnwick {

// File calls on UTF-8 paths for the layers above; each system's folder below has its own
// definitions, chosen by the build.

// Whether a regular file stands at `path`, found without opening it: opening a FIFO waits for
// the other end. True for a regular file, false for nothing at all; fails for anything else
// ("<path> is a directory", "<path> is a FIFO, not a regular file") or when the path cannot be
// examined.
Result<bool> CheckRegularFile(const std::string& path);

// Hands the bytes of the regular file at `path` to `chunk`, in order. Fails for anything that
// is not a regular file: a device or a FIFO could be read for ever.
Result<void> ReadRegularFile(const std::string& path,
                             const std::function<void(std::span<const std::uint8_t>)>& chunk);

// Puts on disk the entry that names `path` in its directory, after the file was created or
// renamed there: without it a power cut can lose the name, and the file with it. Linux syncs
// the directory (a file system that cannot, EINVAL, keeps names its own way); Windows' NTFS
// journals its names, so there is nothing to do.
Result<void> SyncDirectoryEntry(const std::string& path);

// A regular file opened to append: each Append lands at its end in one write and is on disk
// before it returns.
class AppendFile {
  public:
    // Creates the file when missing; fails for a FIFO or a device, without waiting on it.
    static Result<std::unique_ptr<AppendFile>> Open(const std::string& path);
    virtual ~AppendFile() = default;
    virtual Result<void> Append(std::string_view bytes) = 0;
};

}  // namespace tarnwick
