#pragma once

#include <string>

#include "link/Fault.h"

namespace tarnwick::cli {

// Whether a regular file stands at a path a command reads or writes, found with stat() alone:
// opening a FIFO waits for the other end, so a FIFO, socket or device must be refused before
// anything opens it. True for a regular file, false for nothing at all; fails for anything
// else ("<path> is a directory", "<path> is a FIFO, not a regular file") or when the path
// cannot be examined.
Result<bool> CheckRegularFile(const std::string& path);

}  // namespace tarnwick::cli
