#include "cli/CommandOptions.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/ListCommand.h"
#include "cli/OwnLines.h"
#include "cli/Session.h"
#include "platform/Machine.h"

namespace tarnwick::cli {

void AddTargetOptions(CLI::App& command, TargetOptions& o, bool allowWait, bool severalDevices) {
    const std::string form = MachineDriveForm();
    CLI::Option* device = command.add_option(
        "--device", o.devices,
        "Use this programmer (" + form +
            ") instead of searching; it must still identify as the programmer" +
            (severalDevices ? ". Given more than once, write them all at once" : ""));
    device->type_name(form);
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

std::expected<std::pair<std::unique_ptr<PassThrough>, ProbeReport>, int> OpenNamedProgrammer(
    const std::string& path, Session& session) {
    const auto drive = MachineDriveNumber(path);
    if (!drive) {
        std::cerr << "tarnwick-cli: --device expects " << MachineDriveNames() << ", got '" << path
                  << "'\n";
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
