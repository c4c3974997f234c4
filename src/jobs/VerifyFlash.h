#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

#include "jobs/ProgramJob.h"
#include "link/Fault.h"
#include "link/PassThrough.h"

namespace tarnwick {

// Reads the flash back in pages and compares it with the file, byte for byte, over the file's
// length; fails at the first difference or when the flash could not be read. Runs on the
// caller's thread; blocks for the whole read-back.
Result<void> VerifyFlash(std::shared_ptr<PassThrough> device, const std::string& path,
                         ProgressObserver* progress = nullptr, std::stop_token stop = {});

}  // namespace tarnwick
