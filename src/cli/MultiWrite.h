#pragma once

#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "cli/JobReport.h"
#include "cli/ProgressBoard.h"
#include "jobs/ProgramJob.h"
#include "link/PassThrough.h"
#include "link/ProgrammerPresence.h"

namespace tarnwick::cli {

class Session;

// One programmer of a write to several: its opened device and how it was found.
struct WriteTarget {
    std::shared_ptr<PassThrough> device;
    FoundProgrammer programmer;
};

// What a programmer's lines are tagged with: its USB port path, or its node when it has none.
std::string TargetTag(const FoundProgrammer& programmer);

// Every programmer a scan of all drives finds now (the session's link is left empty).
std::vector<FoundProgrammer> ProgrammersPresent(Session& session);
// Opens a programmer a scan found; none when its drive is no longer that programmer.
std::optional<WriteTarget> OpenTarget(Session& session, const FoundProgrammer& programmer);

struct TargetOutcome {
    ProgramResult result;
    bool verifyRan = false;
    std::optional<std::string> verifyError;  // none when the flash matched (or no verify ran)
    double seconds = 0;                      // the write alone
};

// How one programmer's job ended, for its line, the table, the record and the exit status.
struct TargetEnding {
    int code;
    std::string name;
    std::string detail;
    std::optional<bool> verified;  // none when no verify was asked for
};
TargetEnding EndingOf(const TargetOutcome& outcome, bool verifyAsked, bool interrupted);

// One programmer's job with its own link and its own reading of the file: the write, then the
// verify when asked. Messages and progress go to `row`, and through `report` to the events.
TargetOutcome WriteOneTarget(const WriteTarget& target, const std::string& file, bool verify,
                             ProgressBoard::Row& row, JobReport& report, std::stop_token stop);

// WriteOneTarget on every target at once, each on its own thread, so one programmer's fault or
// unplug ends its job only. Returns when every job has ended, the outcomes in the targets'
// order.
std::vector<TargetOutcome> WriteEach(const std::vector<WriteTarget>& targets,
                                     const std::string& file, bool verify,
                                     const std::vector<ProgressBoard::Row*>& rows,
                                     const std::vector<std::unique_ptr<JobReport>>& reports,
                                     std::stop_token stop);

}  // namespace tarnwick::cli
