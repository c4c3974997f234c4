#include "cli/CommandOptions.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/ListCommand.h"
#include "cli/OwnLines.h"
#include "cli/Session.h"

namespace tarnwick::cli {

void AddTargetOptions(CLI::App& command, TargetOptions& o, bool allowWait, bool severalDevices) {
    CLI::Option* device = command.add_option(
        "--device", o.devices,
        severalDevices ? "Use this programmer (/dev/sgN) instead of searching; it must still "
                         "identify as the programmer. Given more than once, write them all at once"
                       : "Use this programmer (/dev/sgN) instead of searching; it must still "
                         "identify as the programmer");
    device->type_name("/dev/sgN");
    if (!severalDevices) {
        device->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    }
    if (allowWait) {
        command
            .add_option_function<std::string>(
                "--wait",
                [&o](const std::string& seconds) {
                    o.wait = true;
                    if (seconds.empty()) {
                        return;
                    }
                    char* end = nullptr;
                    const double value = std::strtod(seconds.c_str(), &end);
                    if (end == seconds.c_str() || *end != '\0' || !(value >= 0)) {
                        throw CLI::ValidationError("--wait", "expects a number of seconds");
                    }
                    o.waitSeconds = value;
                },
                "Wait for a programmer to be plugged in (at most SECONDS when given)")
            ->expected(0, 1)
            ->type_name("[=SECONDS]");
    }
    AddEmulatorOptions(command, o.emulator);
}

std::optional<std::int8_t> DriveNumberOf(const std::string& path) {
    const std::string prefix = "/dev/sg";
    if (path.rfind(prefix, 0) != 0 || path.size() == prefix.size() ||
        path.size() > prefix.size() + 3) {
        return std::nullopt;
    }
    int n = 0;
    for (std::size_t i = prefix.size(); i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9') {
            return std::nullopt;
        }
        n = n * 10 + (path[i] - '0');
    }
    // Drive n is /dev/sg(n-1): drive 0 stands for no programmer and has no node.
    if (n + 1 > kLastDriveNumber) {
        return std::nullopt;
    }
    return static_cast<std::int8_t>(n + 1);
}

std::expected<std::pair<std::unique_ptr<PassThrough>, ProbeReport>, int> OpenNamedProgrammer(
    const std::string& path, Session& session) {
    const auto drive = DriveNumberOf(path);
    if (!drive) {
        std::cerr << "tarnwick-cli: --device expects /dev/sgN with N from 0 to "
                  << kLastDriveNumber - 1 << ", got '" << path << "'\n";
        return std::unexpected(kExitUsage);
    }
    ProbeReport report;
    auto device = session.Discovery().ProbeDrive(*drive, &report);
    if (!device) {
        std::cerr << "tarnwick-cli: "
                  << Say("{1} is not the programmer: {2}", {path, ProbeText(report)}) << '\n';
        return std::unexpected(kExitNoProgrammer);
    }
    return std::pair(std::move(device), std::move(report));
}

int SelectProgrammer(const TargetOptions& o, Session& session, ConsoleDisplay& console) {
    if (!o.devices.empty()) {
        auto opened = OpenNamedProgrammer(o.devices.front(), session);
        if (!opened) {
            return opened.error();
        }
        session.Link().Set(std::move(opened->first), opened->second.drive, opened->second.identity);
        return kExitSuccess;
    }
    ScanReport scan;
    session.Discovery().FindProgrammer(&scan);
    session.Discovery().ReportPresence();
    if (!session.Link().Device()) {
        if (o.wait) {
            console.Line(Say("waiting for a programmer to be plugged in.."));
            return kExitSuccess;
        }
        std::cerr << "tarnwick-cli: "
                  << Say("no programmer found (`tarnwick-cli list` shows every drive probed and "
                         "why it is not the programmer)")
                  << '\n';
        // A drive that could not be opened may be the programmer without access rights.
        for (const ProbeReport& probe : scan.probes) {
            if (probe.verdict == ProbeVerdict::CannotOpen) {
                std::cerr << "tarnwick-cli: " << ProbeText(probe) << '\n';
            }
        }
        return kExitNoProgrammer;
    }
    return kExitSuccess;
}

}  // namespace tarnwick::cli
