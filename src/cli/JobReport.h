#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "cli/ConsoleDisplay.h"
#include "cli/JobRecord.h"
#include "cli/JsonEvents.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

struct ReportOptions {
    std::string log;     // append a record of the job here; empty: none
    bool json = false;   // events on standard output; results go to standard error too
    bool quiet = false;  // no progress
};

// The ending of a command that failed outside its job: bad arguments, drives out of reach.
inline constexpr char kErrorEnding[] = "error";

// `withLog`: the command keeps a record of its job (--log); the transfer test does not.
void AddReportOptions(CLI::App& command, ReportOptions& options, bool withLog = true);

// What a write or read shows and leaves: the person's display, the --log record and the --json
// events.
class JobReport {
  public:
    JobReport(std::string command, std::string file, const ReportOptions& options);
    // One job of several at once: its progress is shown by `human`, and its events name
    // `target`.
    JobReport(std::string command, std::string file, const ReportOptions& options,
              ProgressObserver& human, std::string target);

    // Opens the log before anything else happens; returns 0, or the exit code after saying
    // why it cannot be used.
    int Open();

    // Where results go (standard output; standard error with --json). The job's running lines
    // and progress go to the display, on standard error.
    std::ostream& Out();
    ConsoleDisplay& Console() { return console; }
    // Where the job's progress goes: the display, and the events with --json.
    ProgressObserver& Progress();

    // The job begins: `size` bytes (none when unknown) on this programmer (none while waiting).
    void Start(std::optional<std::uint64_t> size, const ProgrammerPresence& programmer);
    // The progress that follows is of this phase ("write", "verify", "read").
    void Phase(std::string name);

    // The programmer the job runs on; kept when it has gone by the end.
    void SetProgrammer(const ProgrammerPresence& programmer);

    // Keeps the record and ends the events; returns `exit`, or the log's exit code when the record
    // of an otherwise successful job could not be kept.
    int End(int exit, std::string ending, std::string detail,
            std::optional<bool> verified = std::nullopt, const JsonEvents::Counts& counts = {});

    // End for a command that found no programmer, or could not use the drives or the one named
    // (said already).
    int EndBeforeJob(int exit);

    // The log could not take the record at End.
    bool RecordLost() const { return recordLost; }

  private:
    const ReportOptions& options;
    ConsoleDisplay console;
    ProgressObserver& human;
    std::optional<JsonEvents> events;
    JobRecord record;
    std::chrono::steady_clock::time_point started;
    std::optional<JobLog> log;
    bool recordLost = false;
};

}  // namespace tarnwick::cli
