#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <stop_token>

#include "display/DisplaySink.h"
#include "jobs/FirmwarePath.h"
#include "jobs/JobRunner.h"
#include "jobs/ProgramJob.h"
#include "link/ProgrammerLink.h"

namespace tarnwick {

// Starts the jobs that drive the programmer, each on the one worker thread, one at a time:
// the programming job (which waits for a programmer, woken by discovery through the link, then
// writes the chosen file) and the service jobs (read-back, transfer test). Sharing one runner
// is what keeps two of them from sending their commands to the device in turn. A job that
// cannot start is refused with a line on standard error naming the one that waits or runs.
// Start, StartService, MayStart, Busy and StopAndJoin: the dialog's thread. StopAndJoin blocks
// until the worker has ended, so the sinks must no longer block it by then (the dialog closes
// its channel first).
class JobStarter {
  public:
    JobStarter(ProgrammerLink& link, const FirmwarePath& firmwarePath, DisplaySink& display,
               MessageBoxSink& notices, std::ostream& diagnostics);

    // False, and nothing started, while a job waits or runs.
    bool Start();
    // `name` says what the service is in the refusal lines ("the transfer test"); it must
    // outlive the starter. The service gets the stop token set when the application exits.
    bool StartService(const char* name, std::function<void(std::stop_token)> service);
    // Whether `name` could start now; false, with the refusal line, while a job waits or runs.
    // For handlers that ask the person something first and should not ask in vain.
    bool MayStart(const char* name) const;
    bool Busy() const { return runner.Busy(); }
    void StopAndJoin() { runner.StopAndJoin(); }

    // How the last programming job ended; none before the first has ended. Any thread.
    std::optional<ProgramResult> LastResult() const;

  private:
    bool Launch(const char* name, std::function<void(std::stop_token)> job);

    ProgrammerLink& link;
    const FirmwarePath& firmwarePath;
    DisplaySink& display;
    MessageBoxSink& notices;
    std::ostream& diagnostics;
    mutable std::mutex resultMutex;
    std::optional<ProgramResult> lastResult;
    const char* running = "";  // the job started last; dialog's thread only
    JobRunner runner;          // last: joined before the members its worker uses go
};

}  // namespace tarnwick
