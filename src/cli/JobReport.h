#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "cli/JobRecord.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

struct ReportOptions {
    std::string log;  // append a record of the job here; empty: none
};

// The ending of a command that failed outside its job: bad arguments, drives out of reach.
inline constexpr char kErrorEnding[] = "error";

void AddReportOptions(CLI::App& command, ReportOptions& options);

// What a write or read leaves besides its human lines: the --log record.
class JobReport {
  public:
    JobReport(std::string command, std::string file, const ReportOptions& options);

    // Opens the log before anything else happens; returns 0, or the exit code after saying
    // why it cannot be used.
    int Open();

    // The stream for the command's human lines.
    std::ostream& Out();

    // The programmer the job runs on; kept when it has gone by the end.
    void SetProgrammer(const ProgrammerPresence& programmer);

    // Keeps the record; returns `exit`, or the log's exit code when the record of an otherwise
    // successful job could not be kept.
    int End(int exit, std::string ending, std::string detail,
            std::optional<bool> verified = std::nullopt);

    // End for a command that found no programmer, or could not use the drives or the one named
    // (said already).
    int EndBeforeJob(int exit);

  private:
    const ReportOptions& options;
    JobRecord record;
    std::chrono::steady_clock::time_point started;
    std::optional<JobLog> log;
};

}  // namespace tarnwick::cli
