#pragma once

#include <sys/types.h>

#include <string>

namespace tarnwick {

// Why the thing at `path` with this st_mode is not a file to read or write a flash image
// through, for a person ("<path> is a directory", "<path> is a FIFO, not a regular file");
// empty for a regular file. A FIFO, socket or device could block a job forever or never end.
std::string NotRegularFileProblem(const std::string& path, mode_t mode);

}  // namespace tarnwick
