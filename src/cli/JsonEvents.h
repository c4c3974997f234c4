#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "jobs/ProgramJob.h"
#include "link/ProgrammerPresence.h"

namespace tarnwick::cli {

// --json: a job as JSON Lines for a script (docs/json-events.md): start, progress at most ten
// times a second and at the end of each phase, end. Progress also goes on to the person's
// display. Any thread; each event is flushed whole.
class JsonEvents : public ProgressObserver {
  public:
    JsonEvents(std::ostream& out, ProgressObserver& human);

    void Start(const std::string& command, const std::string& file,
               std::optional<std::uint64_t> size, const ProgrammerPresence& programmer);
    // Names the progress that follows ("write", "verify", "read"); its count starts afresh.
    void Phase(std::string name);
    void PageConfirmed(std::uint64_t bytesDone, std::uint64_t totalBytes) override;
    void End(int exit, const std::string& ending, const std::string& detail);

    bool Started() const { return started; }

    static constexpr auto kProgressInterval = std::chrono::milliseconds(100);

  private:
    std::mutex mutex;
    std::ostream& out;
    ProgressObserver& human;
    bool started = false;
    std::string phase;
    std::optional<std::chrono::steady_clock::time_point> lastProgress;
};

}  // namespace tarnwick::cli
