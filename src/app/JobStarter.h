#pragma once

#include <mutex>
#include <optional>
#include <ostream>

#include "display/DisplaySink.h"
#include "jobs/FirmwarePath.h"
#include "jobs/JobRunner.h"
#include "jobs/ProgramJob.h"
#include "link/ProgrammerLink.h"

namespace tarnwick {

// Starts the programming job on its worker thread: the worker waits for a programmer (woken by
// discovery through the link), then writes the chosen file, reporting through the display and
// notice sinks. One job at a time.
// Start, Busy and StopAndJoin: the dialog's thread. StopAndJoin blocks until the worker has
// ended, so the sinks must no longer block it by then (the dialog closes its channel first).
class JobStarter {
  public:
    JobStarter(ProgrammerLink& link, const FirmwarePath& firmwarePath, DisplaySink& display,
               MessageBoxSink& notices, std::ostream& diagnostics);

    // False, and nothing started, while a job waits or runs.
    bool Start();
    bool Busy() const { return runner.Busy(); }
    void StopAndJoin() { runner.StopAndJoin(); }

    // How the last job ended; none before the first has ended. Any thread.
    std::optional<ProgramResult> LastResult() const;

  private:
    ProgrammerLink& link;
    const FirmwarePath& firmwarePath;
    DisplaySink& display;
    MessageBoxSink& notices;
    std::ostream& diagnostics;
    mutable std::mutex resultMutex;
    std::optional<ProgramResult> lastResult;
    JobRunner runner;  // last: joined before the members its worker uses go
};

}  // namespace tarnwick
