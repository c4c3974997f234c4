#include "app/JobStarter.h"

#include <iostream>

namespace tarnwick {

JobStarter::JobStarter(ProgrammerLink& programmerLink, const FirmwarePath& path,
                       DisplaySink& displaySink, MessageBoxSink& noticeSink,
                       std::ostream& diagnosticStream)
    : link(programmerLink),
      firmwarePath(path),
      display(displaySink),
      notices(noticeSink),
      diagnostics(diagnosticStream) {}

bool JobStarter::Start() {
    return runner.TryStart([this](std::stop_token stop) {
        ProgramJob job(link, firmwarePath, display, notices, diagnostics);
        ProgramResult result = job.ProgramThreadProc(stop);
        if (result.ending != ProgramEnding::Success && !result.detail.empty()) {
            // The list tells the person how it ended; this line tells what exactly failed.
            std::cerr << "tarnwick: " << ToString(result.ending) << ": " << result.detail << '\n';
        }
        std::lock_guard lock(resultMutex);
        lastResult = std::move(result);
    });
}

std::optional<ProgramResult> JobStarter::LastResult() const {
    std::lock_guard lock(resultMutex);
    return lastResult;
}

}  // namespace tarnwick
