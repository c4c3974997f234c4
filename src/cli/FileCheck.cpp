#include "cli/FileCheck.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "jobs/FileKind.h"

namespace tarnwick::cli {

FileCheck CheckRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {false, {}};
        }
        return {false, path + ": " + std::strerror(errno)};
    }
    return {true, NotRegularFileProblem(path, st.st_mode)};
}

}  // namespace tarnwick::cli
