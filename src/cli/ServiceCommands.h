#pragma once

#include <cstdint>
#include <string>

#include "cli/CommandOptions.h"
#include "cli/JobReport.h"

namespace CLI {
class App;
}

namespace tarnwick::cli {

struct ReadOptions {
    std::string file;
    std::int64_t length = 0;
    TargetOptions target;
    ReportOptions report;
};

struct TransferTestOptions {
    std::uint64_t bytes = 0;  // set to the default bound when the command is added
    TargetOptions target;
    ReportOptions report;  // --json and -q; the test keeps no record
};

void AddReadCommand(CLI::App& app, ReadOptions& options);
void AddTransferTestCommand(CLI::App& app, TransferTestOptions& options);

int RunRead(const ReadOptions& options);
int RunTransferTest(const TransferTestOptions& options);

}  // namespace tarnwick::cli
