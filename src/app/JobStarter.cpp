#include "app/JobStarter.h"

#include <iostream>

namespace tarnwick {

namespace {

constexpr const char* kProgrammingJob = "the programming job";

}  // namespace

JobStarter::JobStarter(ProgrammerLink& programmerLink, const FirmwarePath& path,
                       DisplaySink& displaySink, MessageBoxSink& noticeSink,
                       std::ostream& diagnosticStream)
    : link(programmerLink),
      firmwarePath(path),
      display(displaySink),
      notices(noticeSink),
      diagnostics(diagnosticStream) {}

bool JobStarter::Start() {
    return Launch(kProgrammingJob, [this](std::stop_token stop) {
        ProgramJob job(link, firmwarePath, display, notices, diagnostics);
        ProgramResult result = job.ProgramThreadProc(stop);
        if (result.ending != ProgramEnding::Success && result.fault) {
            // The list tells the person how it ended; this line tells what exactly failed.
            std::cerr << "tarnwick: " << ToString(result.ending) << ": " << result.fault->Describe()
                      << '\n';
        }
        std::lock_guard lock(resultMutex);
        lastResult = std::move(result);
    });
}

bool JobStarter::StartService(const char* name, std::function<void(std::stop_token)> service) {
    return Launch(name, std::move(service));
}

bool JobStarter::MayStart(const char* name) const {
    if (!runner.Busy()) {
        return true;
    }
    std::cerr << "tarnwick: " << name << " is refused: " << running
              << " waits or runs, and only one job may drive the programmer at a time\n";
    return false;
}

std::optional<ProgramResult> JobStarter::LastResult() const {
    std::lock_guard lock(resultMutex);
    return lastResult;
}

bool JobStarter::Launch(const char* name, std::function<void(std::stop_token)> job) {
    if (!MayStart(name) || !runner.TryStart(std::move(job))) {
        return false;
    }
    running = name;
    return true;
}

}  // namespace tarnwick
