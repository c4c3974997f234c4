#pragma once

#include <sys/types.h>

#include <string>

#include "link/Fault.h"

namespace tarnwick {

// Succeeds for a regular file; otherwise says what the thing at `path` with this st_mode is
// instead ("<path> is a directory", "<path> is a FIFO, not a regular file"). A FIFO, socket or
// device could block a job forever or never end, so a flash image goes through files alone.
Result<void> RequireRegularFile(const std::string& path, mode_t mode);

// A failed system call on `where` (a path): "<where>: <strerror>", errno kept.
std::unexpected<Fault> SystemFault(const std::string& where, int error);

}  // namespace tarnwick
