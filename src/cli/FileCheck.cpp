#include "cli/FileCheck.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace tarnwick::cli {

FileCheck CheckRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {false, {}};
        }
        return {false, path + ": " + std::strerror(errno)};
    }
    if (S_ISREG(st.st_mode)) {
        return {true, {}};
    }
    if (S_ISDIR(st.st_mode)) {
        return {true, path + " is a directory"};
    }
    const char* kind = S_ISFIFO(st.st_mode)   ? "a FIFO"
                       : S_ISSOCK(st.st_mode) ? "a socket"
                       : S_ISCHR(st.st_mode)  ? "a character device"
                       : S_ISBLK(st.st_mode)  ? "a block device"
                                              : "not a file";
    return {true, path + " is " + kind + ", not a regular file"};
}

}  // namespace tarnwick::cli
