#include "cli/WriteCommand.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <future>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/ProgressLine.h"
#include "cli/Terminal.h"
#include "jobs/JobRunner.h"
#include "jobs/VerifyFlash.h"

namespace tarnwick::cli {

namespace {

constexpr std::int8_t kEmulatedDrive = 3;

int Fail(ConsoleDisplay& console, ExitCode code, const std::string& what) {
    console.Finish();
    std::cerr << "tarnwick-cli: " << what << '\n';
    return code;
}

// Runs `work` on a worker thread while this thread watches for Ctrl-C.
template <typename Result>
Result RunInterruptibly(const std::function<Result(std::stop_token)>& work) {
    JobRunner runner;
    std::promise<Result> promise;
    auto future = promise.get_future();
    runner.TryStart([&](std::stop_token stop) { promise.set_value(work(stop)); });
    while (future.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (Interrupted()) {
            runner.StopAndJoin();
        }
    }
    return future.get();
}

}  // namespace

void AddWriteCommand(CLI::App& app, WriteOptions& o) {
    CLI::App* write = app.add_subcommand(
        "write", "Erase the blocks the file needs and write it into the programmer's flash");
    write->add_option("FILE", o.file, "Firmware image, written byte for byte from address 0")
        ->required();
    write->add_flag("--verify", o.verify,
                    "Read the flash back afterwards and compare it with the file");
    AddEmulatorOptions(*write, o.emulator);
    write->footer(ExitCodeHelp());
}

int RunWrite(const WriteOptions& o) {
    ConsoleDisplay console(std::cout, StdoutIsTerminal(), TerminalColumns());
    std::error_code ec;
    if (!std::filesystem::exists(o.file, ec)) {
        return Fail(console, kExitNoFile, "no such firmware file: " + o.file);
    }

    ProgrammerLink link;
    std::shared_ptr<EmulatedProgrammer> emulator;
    if (o.emulator.enabled) {
        std::string error;
        emulator = MakeEmulator(o.emulator, error);
        if (!emulator) {
            return Fail(console, kExitUsage, error);
        }
        link.Set(emulator, kEmulatedDrive);
    } else {
        return Fail(console, kExitNoProgrammer,
                    "no programmer: real devices are not supported yet, use --emulate");
    }

    FirmwarePath path;
    path.Set(o.file);
    ProgramJob job(link, path, console, console, std::cout);
    job.SetProgressObserver(&console);

    const auto started = std::chrono::steady_clock::now();
    const ProgramResult result = RunInterruptibly<ProgramResult>(
        [&](std::stop_token stop) { return job.ProgramFlash(stop); });
    console.Finish();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;

    int code = ExitCodeFor(result.ending);
    if (result.ending != ProgramEnding::Success) {
        std::cerr << "tarnwick-cli: " << ToString(result.ending) << ": " << result.detail << '\n';
    } else {
        const auto size = std::filesystem::file_size(o.file, ec);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", took.count());
        std::cout << "written: " << FormatBytes(static_cast<double>(size)) << " in " << seconds
                  << ", every page confirmed by the programmer\n";
        if (o.verify) {
            console.Line("verifying..");
            const VerifyResult verify = RunInterruptibly<VerifyResult>([&](std::stop_token stop) {
                return VerifyFlash(link.Device(), o.file, &console, stop);
            });
            console.Finish();
            if (verify.identical) {
                std::cout << "verified: the flash holds the file byte for byte\n";
            } else {
                code = Interrupted() ? kExitCancelled : kExitVerifyFailed;
                std::cerr << "tarnwick-cli: VERIFY FAILED: " << verify.detail << '\n';
            }
        }
    }
    if (emulator) {
        if (const std::string error = SaveEmulator(o.emulator, *emulator); !error.empty()) {
            std::cerr << "tarnwick-cli: " << error << '\n';
            code = code == kExitSuccess ? kExitUsage : code;
        }
    }
    return code;
}

}  // namespace tarnwick::cli
