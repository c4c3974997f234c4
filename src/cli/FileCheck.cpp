#include "cli/FileCheck.h"

#include "platform/Files.h"

namespace tarnwick::cli {

Result<bool> CheckRegularFile(const std::string& path) {
    return tarnwick::CheckRegularFile(path);
}

}  // namespace tarnwick::cli
