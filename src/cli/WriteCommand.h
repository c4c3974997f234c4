#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/CommandOptions.h"
#include "cli/JobReport.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

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

// Why the file cannot be written, said and recorded; 0 when it can.
int RefuseFile(const std::string& file, JobReport& report);
// The file's size for the start of a job's report; none when it cannot be had.
std::optional<std::uint64_t> SizeOf(const std::string& file);

}  // namespace tarnwick::cli
