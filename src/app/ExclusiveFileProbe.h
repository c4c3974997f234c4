#pragma once

#include <cstdint>
#include <string>

#include "link/Fault.h"

namespace tarnwick {

// Whether a firmware file can be taken: opened for reading with no other process holding a
// lock on it (flock or a POSIX record lock), and its length. The file is held with an
// exclusive flock only while it is looked at; nothing stays open afterwards.
// Blocks for a few system calls; any thread. Fails with the path and the reason.
class ExclusiveFileProbe {
  public:
    static Result<std::int64_t> Length(const std::string& path);
};

}  // namespace tarnwick
