#pragma once

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
    bool all = false;  // every programmer present, at once
    TargetOptions target;
    ReportOptions report;
};

void AddWriteCommand(CLI::App& app, WriteOptions& options);

// Writes the file into the programmer; returns the process exit code.
int RunWrite(const WriteOptions& options);

}  // namespace tarnwick::cli
