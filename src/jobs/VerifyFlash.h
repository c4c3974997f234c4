#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

#include "jobs/ProgramJob.h"
#include "link/PassThrough.h"

namespace tarnwick {

struct VerifyResult {
    bool identical = false;
    std::string detail;  // the first difference, or why the flash could not be read
};

// Reads the flash back in pages and compares it with the file, byte for byte, over the file's
// length. Runs on the caller's thread; blocks for the whole read-back.
VerifyResult VerifyFlash(std::shared_ptr<PassThrough> device, const std::string& path,
                         ProgressObserver* progress = nullptr, std::stop_token stop = {});

}  // namespace tarnwick
