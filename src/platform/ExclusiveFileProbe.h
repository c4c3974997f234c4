#pragma once

#include <cstdint>
#include <string>

#include "link/Fault.h"

namespace tarnwick {

// Whether a firmware file at a UTF-8 path can be taken, and its length. Each system's folder
// below has its own rule for "no other process is using it":
// - Linux: opened for reading with no other process holding a lock on it (flock or a POSIX
//   record lock); it is held with an exclusive flock only while it is looked at.
// - Windows: opened for reading with no sharing at all, which fails while any other handle has
//   it open, and with no byte-range lock on it.
// Nothing stays open afterwards; anything but a regular file on disk is refused, and a FIFO or
// pipe never makes it wait. Blocks for a few system calls; any thread. Fails with the path and
// the reason.
class ExclusiveFileProbe {
  public:
    static Result<std::int64_t> Length(const std::string& path);
};

}  // namespace tarnwick
