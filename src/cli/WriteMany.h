#pragma once

#include "cli/WriteCommand.h"

namespace tarnwick::cli {

// write --all, --count N or several --device: the job on every programmer at once, a table at
// the end; 0 only when every one succeeded, kExitSomeFailed otherwise.
int RunWriteMany(const WriteOptions& options);

}  // namespace tarnwick::cli
