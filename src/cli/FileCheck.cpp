#include "cli/FileCheck.h"

#include <sys/stat.h>

#include <cerrno>

#include "jobs/FileKind.h"

namespace tarnwick::cli {

Result<bool> CheckRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return false;
        }
        return SystemFault(path, errno);
    }
    if (auto regular = RequireRegularFile(path, st.st_mode); !regular) {
        return Fail(std::move(regular.error()));
    }
    return true;
}

}  // namespace tarnwick::cli
