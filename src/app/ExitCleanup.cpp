#include "app/ExitCleanup.h"

#include <cstdio>
#include <system_error>

namespace tarnwick {

namespace fs = std::filesystem;

fs::path ExitCleanup::CopyTarget(const std::array<std::uint32_t, 2>& fileVersion) {
    char name[48];
    std::snprintf(name, sizeof name, "$$$win%08x-%04x.bof", fileVersion[0], fileVersion[1]);
    return fs::path("programmer") / name;
}

void ExitCleanup::Run(const fs::path& tempDirectory, const fs::path& chosenFile,
                      const std::array<std::uint32_t, 2>& fileVersion) {
    std::error_code ignored;
    const fs::path scratch = tempDirectory / kScratchFile;
    // A file is deleted, never a directory that happens to carry the name.
    if (!fs::is_directory(fs::symlink_status(scratch, ignored))) {
        fs::remove(scratch, ignored);
    }

    if (chosenFile.empty()) {
        return;
    }
    const fs::path target = tempDirectory / CopyTarget(fileVersion);
    if (fs::exists(fs::symlink_status(target, ignored))) {
        return;  // the first copy stays; later runs never replace it
    }
    std::error_code copyError;
    if (!fs::copy_file(chosenFile, target, fs::copy_options::none, copyError) && copyError &&
        copyError != std::errc::file_exists) {
        // A copy that broke off half way would pass for the chosen file and, since nothing
        // replaces a target, stay so for good. The target did not exist a moment ago, and
        // the copy creates it exclusively, so what is there now is this copy's remains.
        fs::remove(target, ignored);
    }
}

}  // namespace tarnwick
