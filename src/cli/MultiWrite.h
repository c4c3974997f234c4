#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>
#include <vector>

#include "jobs/ProgramJob.h"
#include "link/PassThrough.h"
#include "link/ProgrammerPresence.h"

namespace tarnwick::cli {

// One programmer of a write to several: its opened device and how it was found.
struct WriteTarget {
    std::shared_ptr<PassThrough> device;
    FoundProgrammer programmer;
};

// What a programmer's lines are tagged with: its USB port path, or its node when it has none.
std::string TargetTag(const FoundProgrammer& programmer);

struct TargetOutcome {
    ProgramResult result;
    bool verifyRan = false;
    std::optional<std::string> verifyError;  // none when the flash matched (or no verify ran)
    double seconds = 0;                      // the write alone
};

// Writes `file` into every target at once: each on its own thread, with its own link, its own
// job and its own reading of the file, so one programmer's fault or unplug ends its job only.
// Messages and progress go to `out` as lines tagged with the programmer. Returns when every job
// has ended, the outcomes in the targets' order.
std::vector<TargetOutcome> WriteEach(const std::vector<WriteTarget>& targets,
                                     const std::string& file, bool verify, std::ostream& out,
                                     std::stop_token stop);

}  // namespace tarnwick::cli
