#pragma once

#include <initializer_list>
#include <string>

#include "jobs/ProgramJob.h"

namespace tarnwick::cli {

// Process exit codes. Scripts on production lines branch on them, so values never move.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitUsage = 1,         // bad arguments or an unexpected failure
    kExitNoFile = 2,        // no firmware file given, or it does not exist
    kExitNotAnswering = 3,  // the programmer did not answer the link query
    kExitOpenFailed =
        4,  // the firmware file cannot be opened or read, or read's output cannot be written
    kExitEraseFailed = 5,
    kExitWriteFailed = 6,
    kExitVerifyFailed = 7,  // written, but the flash differs from the file
    kExitEmptyFile = 8,
    kExitNoProgrammer = 9,  // none found, or none appeared while waiting
    kExitCancelled = 10,    // interrupted
    kExitReadFailed = 11,   // reading the flash back failed
    kExitTestErrors = 12,   // the transfer test reported bad cycles
    kExitSomeFailed = 13,   // several programmers or station: at least one job did not succeed
    kExitLogFailed = 14,    // --log cannot be opened (nothing done) or the record not kept
};

ExitCode ExitCodeFor(ProgramEnding ending);

// The table above in words, for --help: the statuses `codes` names (all when empty), status 0
// in the words `success` gives when given.
std::string ExitCodeHelp(std::initializer_list<int> codes = {}, const char* success = nullptr);

}  // namespace tarnwick::cli
