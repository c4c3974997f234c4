#include "cli/JsonEvents.h"

#include <nlohmann/json.hpp>

#include "cli/JobRecord.h"

namespace tarnwick::cli {

namespace {

void Emit(std::ostream& out, const nlohmann::ordered_json& event) {
    out << event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n'
        << std::flush;
}

}  // namespace

JsonEvents::JsonEvents(std::ostream& output, ProgressObserver& display)
    : out(output), human(display) {}

void JsonEvents::Start(const std::string& command, const std::string& file,
                       std::optional<std::uint64_t> size, const ProgrammerPresence& programmer) {
    std::lock_guard lock(mutex);
    started = true;
    Emit(out, {{"event", "start"},
               {"command", command},
               {"file", file},
               {"size", size ? nlohmann::ordered_json(*size) : nullptr},
               {"programmer", PresenceJson(programmer)}});
}

void JsonEvents::Phase(std::string name) {
    std::lock_guard lock(mutex);
    phase = std::move(name);
    lastProgress.reset();
}

void JsonEvents::PageConfirmed(std::uint64_t bytesDone, std::uint64_t totalBytes) {
    human.PageConfirmed(bytesDone, totalBytes);
    std::lock_guard lock(mutex);
    const auto now = std::chrono::steady_clock::now();
    const bool last = bytesDone >= totalBytes;
    if (!last && lastProgress && now - *lastProgress < kProgressInterval) {
        return;
    }
    lastProgress = now;
    Emit(out,
         {{"event", "progress"}, {"phase", phase}, {"done", bytesDone}, {"total", totalBytes}});
}

void JsonEvents::End(int exit, const std::string& ending, const std::string& detail) {
    std::lock_guard lock(mutex);
    Emit(out, {{"event", "end"}, {"exit", exit}, {"ending", ending}, {"detail", detail}});
}

}  // namespace tarnwick::cli
