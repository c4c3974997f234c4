#include "cli/JsonEvents.h"

#include <nlohmann/json.hpp>

#include "cli/JobRecord.h"

namespace tarnwick::cli {

namespace {

// One lock for every job's events: the jobs of a write to several programmers share the
// output.
std::mutex emitMutex;

void Emit(std::ostream& out, const nlohmann::ordered_json& event) {
    const std::string line =
        event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
    std::lock_guard lock(emitMutex);
    out << line << std::flush;
}

}  // namespace

JsonEvents::JsonEvents(std::ostream& output, ProgressObserver& display, std::string target_)
    : out(output), human(display), target(std::move(target_)) {}

void JsonEvents::Start(const std::string& command, const std::string& file,
                       std::optional<std::uint64_t> size, const ProgrammerPresence& programmer) {
    std::lock_guard lock(mutex);
    started = true;
    nlohmann::ordered_json event = {{"event", "start"}};
    Tag(event);
    event["command"] = command;
    // A command that uses no file (the transfer test) says so instead of naming "".
    event["file"] = file.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(file);
    event["size"] = size ? nlohmann::ordered_json(*size) : nullptr;
    event["programmer"] = PresenceJson(programmer);
    Emit(out, event);
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
    nlohmann::ordered_json event = {{"event", "progress"}};
    Tag(event);
    event["phase"] = phase;
    event["done"] = bytesDone;
    event["total"] = totalBytes;
    Emit(out, event);
}

void JsonEvents::End(int exit, const std::string& ending, const std::string& detail,
                     const Counts& counts) {
    std::lock_guard lock(mutex);
    nlohmann::ordered_json event = {{"event", "end"}};
    Tag(event);
    event["exit"] = exit;
    event["ending"] = ending;
    event["detail"] = detail;
    for (const auto& [name, value] : counts) {
        event[name] = value;
    }
    Emit(out, event);
}

void JsonEvents::Tag(nlohmann::ordered_json& event) const {
    if (!target.empty()) {
        event["target"] = target;
    }
}

void JsonEvents::Summary(std::ostream& out, int exit, int written, int failed,
                         const std::vector<PortCount>& ports) {
    nlohmann::ordered_json event = {
        {"event", "summary"}, {"exit", exit}, {"written", written}, {"failed", failed}};
    if (!ports.empty()) {
        auto& list = event["ports"] = nlohmann::ordered_json::array();
        for (const PortCount& port : ports) {
            list.push_back(
                {{"port", port.port}, {"written", port.written}, {"failed", port.failed}});
        }
    }
    Emit(out, event);
}

}  // namespace tarnwick::cli
