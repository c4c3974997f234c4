#pragma once

#include <string>

namespace tarnwick::cli {

// What stands at a path a command reads or writes, found with stat() alone: opening a FIFO
// waits for the other end, so a FIFO, socket or device must be refused before anything opens
// it.
struct FileCheck {
    bool exists = false;
    // Empty for a regular file or nothing at all; otherwise for a person: "<path> is a
    // directory", "<path> is a FIFO, not a regular file", or why it cannot be examined.
    std::string problem;
};

FileCheck CheckRegularFile(const std::string& path);

}  // namespace tarnwick::cli
