#pragma once

#include <string>

namespace tarnwick {

// What the dialog does to the temporary directory as it exits, on UTF-8 paths; each system's
// folder below has its own definitions. Both block for at most one file copy, any thread, and
// fail silently: they leave things as they were whenever a step is not safe or not possible.

// Deletes `name` in `tempDirectory` when it is a regular file of this user: never a directory,
// nor what a link there points to. Linux: the temporary directory is shared, so a file of
// another user (by the effective user) stays. Windows: it is the user's own, below the profile.
void DeleteOwnTempFile(const std::string& tempDirectory, const std::string& name);

// Copies the regular file `source` to `tempDirectory`/`subdirectory`/`name`, readable by this
// user only, when `subdirectory` exists already as a directory (no link) that nobody else may
// write into, and only as a new file: anything already under `name` stays, and nothing is
// written through it. A copy that breaks off half way is removed.
void CopyIntoPrivateDirectory(const std::string& source, const std::string& tempDirectory,
                              const std::string& subdirectory, const std::string& name);

}  // namespace tarnwick
