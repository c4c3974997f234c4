#include "jobs/FileKind.h"

#include <sys/stat.h>

#include <cstring>

namespace tarnwick {

Result<void> RequireRegularFile(const std::string& path, mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return Fail(path + " is a directory");
    }
    const char* kind = S_ISFIFO(mode)   ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "not a file";
    return Fail(path + " is " + kind + ", not a regular file");
}

std::unexpected<Fault> SystemFault(const std::string& where, int error) {
    return Fail(Fault::Because(std::strerror(error), error).Within(where));
}

}  // namespace tarnwick
