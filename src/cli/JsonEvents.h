#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "jobs/ProgramJob.h"
#include "link/ProgrammerPresence.h"

namespace tarnwick::cli {

// --json: a job as JSON Lines for a script (docs/json-events.md): start, progress at most ten
// times a second and at the end of each phase, end. Progress also goes on to the person's
// display. Any thread; each event is flushed whole, and events of several jobs at once never
// tear each other's lines.
class JsonEvents : public ProgressObserver {
  public:
    // `target` names the programmer in every event when several are written at once.
    JsonEvents(std::ostream& out, ProgressObserver& human, std::string target = {});

    void Start(const std::string& command, const std::string& file,
               std::optional<std::uint64_t> size, const ProgrammerPresence& programmer);
    // Names the progress that follows ("write", "verify", "read"); its count starts afresh.
    void Phase(std::string name);
    void PageConfirmed(std::uint64_t bytesDone, std::uint64_t totalBytes) override;
    // `counts` are added to the end event as numbers, for a script that tallies them.
    using Counts = std::vector<std::pair<std::string, std::uint64_t>>;
    void End(int exit, const std::string& ending, const std::string& detail,
             const Counts& counts = {});

    bool Started() const { return started; }

    // The last line of a command that wrote several programmers: its exit status and how many
    // jobs succeeded and failed, and per port when given.
    struct PortCount {
        std::string port;
        int written = 0;
        int failed = 0;
    };
    static void Summary(std::ostream& out, int exit, int written, int failed,
                        const std::vector<PortCount>& ports = {});

    static constexpr auto kProgressInterval = std::chrono::milliseconds(100);

  private:
    void Tag(nlohmann::ordered_json& event) const;

    std::mutex mutex;
    std::ostream& out;
    ProgressObserver& human;
    const std::string target;
    bool started = false;
    std::string phase;
    std::optional<std::chrono::steady_clock::time_point> lastProgress;
};

}  // namespace tarnwick::cli
