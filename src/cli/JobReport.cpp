#include "cli/JobReport.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "cli/ExitCode.h"
#include "cli/OwnLines.h"
#include "cli/Terminal.h"
#include "jobs/Utf8Path.h"
#include "platform/Console.h"

namespace tarnwick::cli {

void AddReportOptions(CLI::App& command, ReportOptions& o, bool withLog) {
    if (withLog) {
        command.add_option("--log", o.log,
                           "Append a JSON line about the job to this file (kept on disk before "
                           "the command ends; one that cannot be opened stops the command first)");
    }
    command.add_flag("--json", o.json,
                     "Print the job as JSON lines on standard output (start, progress, end); "
                     "the usual results go to standard error");
    command.add_flag("-q,--quiet", o.quiet, "Show no progress");
}

JobReport::JobReport(std::string command, std::string file, const ReportOptions& o)
    : JobReport(std::move(command), std::move(file), o, console, {}) {}

JobReport::JobReport(std::string command, std::string file, const ReportOptions& o,
                     ProgressObserver& human_, std::string target)
    : options(o),
      console(std::cerr, ProgressIsOnTerminal(), TerminalColumns(), !o.quiet),
      human(human_),
      started(std::chrono::steady_clock::now()) {
    if (o.json) {
        events.emplace(std::cout, human, std::move(target));
    }
    record.time = std::chrono::system_clock::now();
    record.command = std::move(command);
    // The log is read later and elsewhere: the path must not depend on where the command ran.
    std::error_code error;
    const std::u8string absolute =
        file.empty() ? std::u8string()
                     : std::filesystem::absolute(Utf8Path(file), error).u8string();
    record.file = error ? std::move(file) : std::string(absolute.begin(), absolute.end());
}

int JobReport::Open() {
    if (options.log.empty()) {
        return kExitSuccess;
    }
    Result<JobLog> opened = JobLog::Open(options.log);
    if (!opened) {
        std::cerr << "tarnwick-cli: "
                  << Say("cannot open the log for appending, nothing done: {1}",
                         {opened.error().Describe()})
                  << '\n';
        return kExitLogFailed;
    }
    log.emplace(std::move(*opened));
    return kExitSuccess;
}

std::ostream& JobReport::Out() {
    return options.json ? std::cerr : std::cout;
}

ProgressObserver& JobReport::Progress() {
    return events ? static_cast<ProgressObserver&>(*events) : human;
}

void JobReport::Start(std::optional<std::uint64_t> size, const ProgrammerPresence& programmer) {
    SetProgrammer(programmer);
    if (events && !events->Started()) {
        events->Start(record.command, record.file, size, programmer);
    }
}

void JobReport::Phase(std::string name) {
    if (events) {
        events->Phase(std::move(name));
    }
}

void JobReport::SetProgrammer(const ProgrammerPresence& programmer) {
    if (programmer) {
        record.programmer = programmer;
    }
}

int JobReport::EndBeforeJob(int exit) {
    if (exit == kExitNoProgrammer) {
        return End(exit, ToString(ProgramEnding::NoProgrammer), "no programmer found");
    }
    return End(exit, kErrorEnding, "the drives or the programmer named cannot be used");
}

int JobReport::End(int exit, std::string ending, std::string detail, std::optional<bool> verified,
                   const JsonEvents::Counts& counts) {
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    record.seconds = took.count();
    record.exit = exit;
    record.ending = std::move(ending);
    record.detail = std::move(detail);
    record.verified = verified;
    if (log) {
        if (const Result<FileDigest> digest = DigestFile(record.file)) {
            record.size = digest->size;
            record.sha256 = digest->sha256;
        }
        if (auto kept = log->Append(RecordLine(record, HostName())); !kept) {
            std::cerr << "tarnwick-cli: "
                      << Say("the job's record was not kept: {1}", {kept.error().Describe()})
                      << '\n';
            record.exit = exit == kExitSuccess ? kExitLogFailed : exit;
            recordLost = true;
        }
    }
    if (events) {
        if (!events->Started()) {
            events->Start(record.command, record.file, record.size, record.programmer);
        }
        events->End(record.exit, record.ending, record.detail, counts);
    }
    return record.exit;
}

}  // namespace tarnwick::cli
