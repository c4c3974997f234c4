#include "jobs/FileKind.h"

#include <sys/stat.h>

namespace tarnwick {

std::string NotRegularFileProblem(const std::string& path, mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return path + " is a directory";
    }
    const char* kind = S_ISFIFO(mode)   ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "not a file";
    return path + " is " + kind + ", not a regular file";
}

}  // namespace tarnwick
