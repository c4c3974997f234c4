#include "app/ExitCleanup.h"

#include <cstdio>

#include "platform/TempFiles.h"

namespace tarnwick {

std::string ExitCleanup::CopyName(const std::array<std::uint32_t, 2>& fileVersion) {
    char name[48];
    std::snprintf(name, sizeof name, "$$$win%08x-%04x.bof", fileVersion[0], fileVersion[1]);
    return name;
}

void ExitCleanup::Run(const std::string& tempDirectory, const std::string& chosenFile,
                      const std::array<std::uint32_t, 2>& fileVersion) {
    DeleteOwnTempFile(tempDirectory, kScratchFile);
    if (!chosenFile.empty()) {
        CopyIntoPrivateDirectory(chosenFile, tempDirectory, kCopyDirectory, CopyName(fileVersion));
    }
}

}  // namespace tarnwick
