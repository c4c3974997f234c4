#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

// Whether a firmware file can be taken: opened for reading with no other process holding a
// lock on it (flock or a POSIX record lock), and its length. The file is held with an
// exclusive flock only while it is looked at; nothing stays open afterwards.
// Blocks for a few system calls; any thread. Fails with nullopt and the reason in *reason.
class ExclusiveFileProbe {
  public:
    static std::optional<std::int64_t> Length(const std::string& path, std::string* reason);
};

}  // namespace tarnwick
