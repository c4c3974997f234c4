#include "cli/MultiWrite.h"

#include <chrono>
#include <sstream>
#include <thread>

#include "cli/ExitCode.h"
#include "cli/OwnLines.h"
#include "cli/Session.h"
#include "jobs/VerifyFlash.h"

namespace tarnwick::cli {

std::string TargetTag(const FoundProgrammer& programmer) {
    return programmer.usbPort.empty() ? programmer.driveName : programmer.usbPort;
}

std::vector<FoundProgrammer> ProgrammersPresent(Session& session) {
    // An empty link first: a scan re-checks the current programmer instead of searching for
    // it, and would report it apart.
    session.Link().Clear();
    ScanReport scan;
    session.Discovery().FindProgrammer(&scan);
    session.Link().Clear();
    std::vector<FoundProgrammer> present;
    for (const ProbeReport& probe : scan.probes) {
        if (probe.verdict == ProbeVerdict::Programmer) {
            present.push_back(FoundProgrammer::Of(probe.drive, probe.driveName, probe.identity));
        }
    }
    return present;
}

std::optional<WriteTarget> OpenTarget(Session& session, const FoundProgrammer& programmer) {
    ProbeReport report;
    auto device = session.Discovery().ProbeDrive(programmer.drive, &report);
    // Another device under the same drive number is another plug: it waits for the next scan.
    if (!device || report.identity.usbDevice != programmer.usbDevice) {
        return std::nullopt;
    }
    return WriteTarget{std::move(device),
                       FoundProgrammer::Of(report.drive, report.driveName, report.identity)};
}

TargetEnding EndingOf(const TargetOutcome& outcome, bool verifyAsked, bool interrupted) {
    const ProgramResult& result = outcome.result;
    const std::optional<bool> verified =
        verifyAsked ? std::optional(outcome.verifyRan && !outcome.verifyError) : std::nullopt;
    if (result.ending != ProgramEnding::Success) {
        return {ExitCodeFor(result.ending), ToString(result.ending),
                result.fault ? result.fault->Describe() : std::string(), verified};
    }
    if (outcome.verifyError) {
        return {kExitVerifyFailed, "verify failed", *outcome.verifyError, verified};
    }
    // Nothing that reads as success once the person has asked to stop, whatever had ended.
    if (interrupted) {
        return {kExitCancelled, ToString(ProgramEnding::Cancelled),
                "interrupted after the programmer confirmed every page", verified};
    }
    return {kExitSuccess, ToString(ProgramEnding::Success), {}, verified};
}

TargetOutcome WriteOneTarget(const WriteTarget& target, const std::string& file, bool verify,
                             ProgressBoard::Row& row, JobReport& report, std::stop_token stop) {
    ProgrammerLink link;
    link.Set(target.device, target.programmer.drive);
    FirmwarePath path;
    path.Set(file);
    std::ostringstream diagnostics;
    ProgramJob job(link, path, row, row, diagnostics);
    job.SetProgressObserver(&report.Progress());
    report.Phase("write");
    row.NextPhase(Say("writing"));

    TargetOutcome outcome;
    const auto started = std::chrono::steady_clock::now();
    outcome.result = job.ProgramFlash(stop);
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The job's diagnostic line, tagged like the rest.
    std::istringstream kept(diagnostics.str());
    for (std::string line; std::getline(kept, line);) {
        row.Line(line);
    }
    if (outcome.result.ending == ProgramEnding::Success && verify && !stop.stop_requested()) {
        row.Line(Say("verifying.."));
        report.Phase("verify");
        row.NextPhase(Say("verifying"));
        outcome.verifyRan = true;
        if (Result<void> verified = VerifyFlash(target.device, file, &report.Progress(), stop);
            !verified) {
            outcome.verifyError = verified.error().Describe();
        }
    }
    return outcome;
}

std::vector<TargetOutcome> WriteEach(const std::vector<WriteTarget>& targets,
                                     const std::string& file, bool verify,
                                     const std::vector<ProgressBoard::Row*>& rows,
                                     const std::vector<std::unique_ptr<JobReport>>& reports,
                                     std::stop_token stop) {
    std::vector<TargetOutcome> outcomes(targets.size());
    {
        std::vector<std::jthread> workers;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            workers.emplace_back([&, i] {
                outcomes[i] = WriteOneTarget(targets[i], file, verify, *rows[i], *reports[i], stop);
            });
        }
    }  // joins every worker
    return outcomes;
}

}  // namespace tarnwick::cli
