#include "cli/WriteCommand.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/FileCheck.h"
#include "cli/MultiWrite.h"
#include "cli/ProgressLine.h"
#include "cli/Session.h"
#include "cli/Terminal.h"
#include "jobs/VerifyFlash.h"

namespace tarnwick::cli {

void AddWriteCommand(CLI::App& app, WriteOptions& o) {
    CLI::App* write = app.add_subcommand(
        "write", "Erase the blocks the file needs and write it into the programmer's flash");
    write->add_option("FILE", o.file, "Firmware image, written byte for byte from address 0")
        ->required();
    write->add_flag("--verify", o.verify,
                    "Read the flash back afterwards and compare it with the file");
    AddTargetOptions(*write, o.target, true);
    AddReportOptions(*write, o.report);
    write
        ->add_flag("--all", o.all,
                   "Write every programmer present, all at once; exits 13 when some failed")
        ->excludes("--json")
        ->excludes("--wait")
        ->excludes("--device");
    write->footer(ExitCodeHelp());
}

namespace {

// Why the file cannot be written, said and recorded; 0 when it can.
int RefuseFile(const std::string& file, JobReport& report) {
    // Before anything waits: a FIFO would block the job's open for good.
    const Result<bool> regular = CheckRegularFile(file);
    if (!regular) {
        std::cerr << "tarnwick-cli: " << ToString(ProgramEnding::OpenFailed) << ": "
                  << regular.error().Describe() << '\n';
        return report.End(kExitOpenFailed, ToString(ProgramEnding::OpenFailed),
                          regular.error().Describe());
    }
    if (!*regular) {
        std::cerr << "tarnwick-cli: no such firmware file: " << file << '\n';
        return report.End(kExitNoFile, ToString(ProgramEnding::NoFile), "no such file");
    }
    return kExitSuccess;
}

// The file's size for the start of a job's report; none when it cannot be had.
std::optional<std::uint64_t> SizeOf(const std::string& file) {
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(file, error);
    return error ? std::nullopt : std::optional(size);
}

struct Ending {
    int code;
    std::string name;
    std::string detail;
};

Ending EndingOf(const TargetOutcome& outcome) {
    const ProgramResult& result = outcome.result;
    if (result.ending != ProgramEnding::Success) {
        return {ExitCodeFor(result.ending), ToString(result.ending),
                result.fault ? result.fault->Describe() : std::string()};
    }
    if (outcome.verifyError) {
        return {kExitVerifyFailed, "verify failed", *outcome.verifyError};
    }
    return {kExitSuccess, ToString(ProgramEnding::Success), {}};
}

int RunWriteAll(const WriteOptions& o) {
    JobReport command("write", o.file, o.report);
    if (const int code = command.Open(); code != kExitSuccess) {
        return code;
    }
    if (const int code = RefuseFile(o.file, command); code != kExitSuccess) {
        return code;
    }
    auto opened = Session::Open(o.target.emulator, false, command.Console());
    if (!opened) {
        std::cerr << "tarnwick-cli: " << opened.error().Describe() << '\n';
        return command.End(kExitUsage, kErrorEnding, opened.error().Describe());
    }
    Session& session = **opened;
    ScanReport scan;
    session.Discovery().FindProgrammer(&scan);
    // The scan keeps the last programmer in the session's link; each job opens its own.
    session.Link().Clear();
    std::vector<WriteTarget> targets;
    for (const ProbeReport& probe : scan.probes) {
        if (probe.verdict != ProbeVerdict::Programmer || probe.recheck) {
            continue;
        }
        ProbeReport again;
        if (auto device = session.Discovery().ProbeDrive(probe.drive, &again)) {
            targets.push_back({std::move(device),
                               FoundProgrammer::Of(again.drive, again.driveName, again.identity)});
        }
    }
    if (targets.empty()) {
        std::cerr << "tarnwick-cli: no programmer found (`tarnwick-cli list` shows every drive "
                     "probed and why it is not the programmer)\n";
        return command.EndBeforeJob(kExitNoProgrammer);
    }

    // One record per programmer: each report is opened on the log as the command's was.
    std::vector<std::unique_ptr<JobReport>> reports;
    const std::optional<std::uint64_t> size = SizeOf(o.file);
    for (const WriteTarget& target : targets) {
        auto& report = reports.emplace_back(std::make_unique<JobReport>("write", o.file, o.report));
        if (const int code = report->Open(); code != kExitSuccess) {
            return code;
        }
        report->Start(size, target.programmer);
        std::cout << "[" << TargetTag(target.programmer) << "] programmer: drive "
                  << int{target.programmer.drive} << " (" << target.programmer.driveName
                  << "), serial " << target.programmer.usbSerial.value_or("none") << '\n';
    }
    const std::vector<TargetOutcome> outcomes =
        session.Run<std::vector<TargetOutcome>>([&](std::stop_token stop) {
            return WriteEach(targets, o.file, o.verify, std::cout, stop);
        });

    int exit = kExitSuccess;
    std::printf("\n%-18s %-20s %-16s %12s %10s %s\n", "programmer", "serial", "result", "bytes",
                "time", "verified");
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const FoundProgrammer& programmer = targets[i].programmer;
        Ending ending = EndingOf(outcomes[i]);
        if (Interrupted() && ending.code == kExitSuccess) {
            ending = {kExitCancelled, ToString(ProgramEnding::Cancelled),
                      "interrupted after the programmer confirmed every page"};
        }
        if (ending.code != kExitSuccess) {
            exit = kExitSomeFailed;
            std::cerr << "tarnwick-cli: [" << TargetTag(programmer) << "] " << ending.name << ": "
                      << ending.detail << '\n';
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", outcomes[i].seconds);
        const char* verified = !o.verify                 ? "-"
                               : !outcomes[i].verifyRan  ? "no"
                               : outcomes[i].verifyError ? "DIFFERS"
                                                         : "yes";
        std::printf("%-18s %-20s %-16s %12s %10s %s\n", TargetTag(programmer).c_str(),
                    programmer.usbSerial.value_or("-").c_str(), ending.name.c_str(),
                    FormatBytes(static_cast<double>(outcomes[i].result.bytesWritten)).c_str(),
                    seconds, verified);
        const std::optional<bool> recorded =
            o.verify ? std::optional<bool>(outcomes[i].verifyRan && !outcomes[i].verifyError)
                     : std::nullopt;
        if (reports[i]->End(ending.code, ending.name, ending.detail, recorded) != ending.code &&
            exit == kExitSuccess) {
            exit = kExitLogFailed;  // the record was not kept, said already
        }
    }
    std::fflush(stdout);
    if (auto closed = session.Close(); !closed) {
        std::cerr << "tarnwick-cli: " << closed.error().Describe() << '\n';
        exit = exit == kExitSuccess ? kExitUsage : exit;
    }
    if (Interrupted()) {
        return kExitCancelled;
    }
    return exit;
}

}  // namespace

int RunWrite(const WriteOptions& o) {
    if (o.all) {
        return RunWriteAll(o);
    }
    JobReport report("write", o.file, o.report);
    if (const int code = report.Open(); code != kExitSuccess) {
        return code;
    }
    std::ostream& out = report.Out();
    ConsoleDisplay& console = report.Console();
    if (const int code = RefuseFile(o.file, report); code != kExitSuccess) {
        return code;
    }
    auto opened = Session::Open(o.target.emulator, o.target.wait, console);
    if (!opened) {
        std::cerr << "tarnwick-cli: " << opened.error().Describe() << '\n';
        return report.End(kExitUsage, kErrorEnding, opened.error().Describe());
    }
    std::unique_ptr<Session> session = std::move(*opened);
    if (const int code = SelectProgrammer(o.target, *session, console); code != kExitSuccess) {
        return report.EndBeforeJob(code);
    }
    report.Start(SizeOf(o.file), session->Discovery().Presence());
    session->SetAnnounceChanges(true);

    FirmwarePath path;
    path.Set(o.file);
    ProgramJob job(session->Link(), path, console, console, out);
    report.Phase("write");
    job.SetProgressObserver(&report.Progress());

    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (o.target.waitSeconds) {
        deadline = std::chrono::steady_clock::now() +
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                       std::chrono::duration<double>(*o.target.waitSeconds));
    }
    const auto started = std::chrono::steady_clock::now();
    const ProgramResult result = session->Run<ProgramResult>([&](std::stop_token stop) {
        return o.target.wait ? job.ProgramThreadProc(stop, deadline) : job.ProgramFlash(stop);
    });
    console.Finish();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    report.SetProgrammer(session->Discovery().Presence());

    Result<void> verify;
    if (result.ending == ProgramEnding::Success && o.verify && !Interrupted()) {
        console.Line("verifying..");
        report.Phase("verify");
        verify = session->Run<Result<void>>([&](std::stop_token stop) {
            return VerifyFlash(session->Link().Device(), o.file, &report.Progress(), stop);
        });
        console.Finish();
    }

    // Nothing that reads as success once the person has asked to stop, whatever had ended.
    int code = Interrupted() ? kExitCancelled : ExitCodeFor(result.ending);
    std::string ending = ToString(Interrupted() ? ProgramEnding::Cancelled : result.ending);
    std::string detail = result.fault ? result.fault->Describe() : std::string();
    bool verified = false;
    if (result.ending != ProgramEnding::Success) {
        std::cerr << "tarnwick-cli: " << ToString(result.ending) << ": " << detail << '\n';
    } else if (Interrupted()) {
        detail = "interrupted after the programmer confirmed every page";
        std::cerr << "tarnwick-cli: " << detail << (o.verify ? "; the flash is not verified" : "")
                  << '\n';
    } else {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", took.count());
        out << "written: " << FormatBytes(static_cast<double>(result.bytesWritten)) << " in "
            << seconds << ", every page confirmed by the programmer\n";
        if (o.verify && verify) {
            verified = true;
            out << "verified: the flash holds the file byte for byte\n";
        } else if (o.verify) {
            code = kExitVerifyFailed;
            ending = "verify failed";
            detail = verify.error().Describe();
            std::cerr << "tarnwick-cli: VERIFY FAILED: " << detail << '\n';
        }
    }
    if (auto closed = session->Close(); !closed) {
        std::cerr << "tarnwick-cli: " << closed.error().Describe() << '\n';
        if (code == kExitSuccess) {
            code = kExitUsage;
            detail = closed.error().Describe();
        }
    }
    return report.End(code, ending, detail,
                      o.verify ? std::optional<bool>(verified) : std::nullopt);
}

}  // namespace tarnwick::cli
