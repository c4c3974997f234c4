#include "cli/WriteCommand.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/FileCheck.h"
#include "cli/OwnLines.h"
#include "cli/ProgressLine.h"
#include "cli/Session.h"
#include "cli/Terminal.h"
#include "cli/WriteMany.h"
#include "jobs/Utf8Path.h"
#include "jobs/VerifyFlash.h"

namespace tarnwick::cli {

void AddWriteCommand(CLI::App& app, WriteOptions& o) {
    CLI::App* write = app.add_subcommand(
        "write", "Erase the blocks the file needs and write it into the programmer's flash");
    write->add_option("FILE", o.file, "Firmware image, written byte for byte from address 0")
        ->required();
    write->add_flag("--verify", o.verify,
                    "Read the flash back afterwards and compare it with the file");
    AddTargetOptions(*write, o.target, true, true);
    AddReportOptions(*write, o.report);
    write
        ->add_flag("--all", o.all,
                   "Write every programmer present, all at once; exits 13 when some failed")
        ->excludes("--wait")
        ->excludes("--device");
    write
        ->add_option("--count", o.count,
                     "Wait until N programmers are present (at most --wait's SECONDS), then "
                     "write them all at once")
        ->type_name("N")
        ->check(CLI::Range(std::size_t{1}, std::size_t{kLastDriveNumber}))
        ->excludes("--device");
    write->footer(ExitCodeHelp({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14}));
}

namespace {

// Why the file cannot be written, said and recorded; 0 when it can.
int RefuseFile(const std::string& file, JobReport& report) {
    // Before anything waits: a FIFO would block the job's open for good.
    const Result<bool> regular = CheckRegularFile(file);
    if (!regular) {
        std::cerr << "tarnwick-cli: "
                  << Say("{1}: {2}",
                         {Say(ToString(ProgramEnding::OpenFailed)), regular.error().Describe()})
                  << '\n';
        return report.End(kExitOpenFailed, ToString(ProgramEnding::OpenFailed),
                          regular.error().Describe());
    }
    if (!*regular) {
        std::cerr << "tarnwick-cli: " << Say("no such firmware file: {1}", {file}) << '\n';
        return report.End(kExitNoFile, ToString(ProgramEnding::NoFile), "no such file");
    }
    return kExitSuccess;
}

}  // namespace

std::expected<std::unique_ptr<Session>, int> StartFileJob(JobReport& report,
                                                          const std::string& file,
                                                          const EmulatorOptions& emulator,
                                                          bool followChanges) {
    if (const int code = report.Open(); code != kExitSuccess) {
        return std::unexpected(code);
    }
    if (const int code = RefuseFile(file, report); code != kExitSuccess) {
        return std::unexpected(code);
    }
    auto opened = Session::Open(emulator, followChanges, report.Console());
    if (!opened) {
        std::cerr << "tarnwick-cli: " << opened.error().Describe() << '\n';
        return std::unexpected(report.End(kExitUsage, kErrorEnding, opened.error().Describe()));
    }
    return std::move(*opened);
}

std::optional<std::uint64_t> SizeOf(const std::string& file) {
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(Utf8Path(file), error);
    return error ? std::nullopt : std::optional(size);
}

int RunWrite(const WriteOptions& o) {
    if (o.target.devices.size() > 1 && o.target.wait) {
        std::cerr << "tarnwick-cli: --wait goes with one --device, or with --count\n";
        return kExitUsage;
    }
    if (o.all || o.count || o.target.devices.size() > 1) {
        return RunWriteMany(o);
    }
    JobReport report("write", o.file, o.report);
    std::ostream& out = report.Out();
    ConsoleDisplay& console = report.Console();
    auto opened = StartFileJob(report, o.file, o.target.emulator, o.target.wait);
    if (!opened) {
        return opened.error();
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
        console.Line(Say("verifying.."));
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
        std::cerr << "tarnwick-cli: " << Say("{1}: {2}", {Say(ToString(result.ending)), detail})
                  << '\n';
    } else if (Interrupted()) {
        detail = "interrupted after the programmer confirmed every page";
        std::cerr << "tarnwick-cli: " << Say(detail)
                  << (o.verify ? Say("; the flash is not verified") : "") << '\n';
    } else {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", took.count());
        out << Say("written: {1} in {2}, every page confirmed by the programmer",
                   {FormatBytes(static_cast<double>(result.bytesWritten)), seconds})
            << '\n';
        if (o.verify && verify) {
            verified = true;
            out << Say("verified: the flash holds the file byte for byte") << '\n';
        } else if (o.verify) {
            code = kExitVerifyFailed;
            ending = "verify failed";
            detail = verify.error().Describe();
            std::cerr << "tarnwick-cli: " << Say("VERIFY FAILED: {1}", {detail}) << '\n';
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
