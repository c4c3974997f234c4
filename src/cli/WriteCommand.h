#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>

#include "cli/CommandOptions.h"
#include "cli/JobReport.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

class Session;

struct WriteOptions {
    std::string file;
    bool verify = false;
    bool all = false;                  // every programmer present, at once
    std::optional<std::size_t> count;  // wait until this many are present, then write them all
    TargetOptions target;
    ReportOptions report;
};

void AddWriteCommand(CLI::App& app, WriteOptions& options);

// Writes the file into the programmer; returns the process exit code.
int RunWrite(const WriteOptions& options);

// What every job on a firmware file does first: opens the log, refuses a file that cannot be
// written, opens the drives (with the hot-plug monitor when `followChanges`). The session, or
// the exit code after saying and recording why not.
std::expected<std::unique_ptr<Session>, int> StartFileJob(JobReport& report,
                                                          const std::string& file,
                                                          const EmulatorOptions& emulator,
                                                          bool followChanges);
// The file's size for the start of a job's report; none when it cannot be had.
std::optional<std::uint64_t> SizeOf(const std::string& file);

}  // namespace tarnwick::cli
