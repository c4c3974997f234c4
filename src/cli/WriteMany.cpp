#include "cli/WriteMany.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "cli/ExitCode.h"
#include "cli/MultiWrite.h"
#include "cli/OwnLines.h"
#include "cli/ProgressLine.h"
#include "cli/Session.h"
#include "cli/Terminal.h"

namespace tarnwick::cli {

namespace {

using Targets = std::expected<std::vector<WriteTarget>, int>;

Targets OpenNamed(const std::vector<std::string>& devices, Session& session) {
    std::vector<WriteTarget> targets;
    for (const std::string& path : devices) {
        auto opened = OpenNamedProgrammer(path, session);
        if (!opened) {
            return std::unexpected(opened.error());
        }
        const ProbeReport& report = opened->second;
        // Two jobs at once on one programmer would interleave their commands.
        if (std::any_of(targets.begin(), targets.end(), [&](const WriteTarget& target) {
                return target.programmer.drive == report.drive;
            })) {
            std::cerr << "tarnwick-cli: --device names " << report.driveName << " twice\n";
            return std::unexpected(kExitUsage);
        }
        targets.push_back({std::move(opened->first),
                           FoundProgrammer::Of(report.drive, report.driveName, report.identity)});
    }
    return targets;
}

// Every programmer present; with `count`, waits (until `seconds` have passed, when given) until
// there are that many.
Targets OpenPresent(std::optional<std::size_t> count, std::optional<double> seconds,
                    Session& session, std::ostream& out) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds.value_or(0));
    std::optional<std::size_t> said;
    for (;;) {
        std::vector<WriteTarget> targets;
        for (const FoundProgrammer& programmer : ProgrammersPresent(session)) {
            if (auto target = OpenTarget(session, programmer)) {
                targets.push_back(std::move(*target));
            }
        }
        if (!count || targets.size() >= *count) {
            return targets;
        }
        if (said != targets.size()) {
            said = targets.size();
            out << Say("waiting for {1} programmers, {2} present..",
                       {std::to_string(*count), std::to_string(targets.size())})
                << std::endl;
        }
        if (Interrupted()) {
            return std::unexpected(kExitCancelled);
        }
        if (seconds && std::chrono::steady_clock::now() >= deadline) {
            std::ostringstream waited;  // as the stream writes a double, as it always did
            waited << *seconds;
            std::cerr << "tarnwick-cli: "
                      << Say("{1} of {2} programmers present after {3} s",
                             {std::to_string(targets.size()), std::to_string(*count), waited.str()})
                      << '\n';
            return std::unexpected(kExitNoProgrammer);
        }
        // A scan at least every second: a change the monitor missed still shows.
        session.WaitForDeviceChange(std::chrono::seconds(1));
    }
}

void PrintTable(std::ostream& out, const std::vector<WriteTarget>& targets,
                const std::vector<TargetOutcome>& outcomes,
                const std::vector<TargetEnding>& endings) {
    // Padded by columns, not bytes: a Chinese heading or result takes two columns a character.
    const auto row = [&out](const std::string& programmer, const std::string& serial,
                            const std::string& result, const std::string& bytes,
                            const std::string& time, const std::string& verified) {
        out << PadColumns(programmer, 18) << ' ' << PadColumns(serial, 20) << ' '
            << PadColumns(result, 16) << ' ' << PadColumns(bytes, 12, true) << ' '
            << PadColumns(time, 10, true) << ' ' << verified << '\n';
    };
    out << '\n';
    row(Say("programmer"), Say("serial"), Say("result"), Say("bytes"), Say("time"),
        Say("verified"));
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const FoundProgrammer& programmer = targets[i].programmer;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", outcomes[i].seconds);
        const std::optional<bool>& verified = endings[i].verified;
        row(TargetTag(programmer), programmer.usbSerial.value_or("-"), Say(endings[i].name),
            FormatBytes(static_cast<double>(outcomes[i].result.bytesWritten)), seconds,
            !verified               ? "-"
            : *verified             ? Say("yes")
            : outcomes[i].verifyRan ? Say("DIFFERS")
                                    : Say("no"));
    }
    out << std::flush;
}

}  // namespace

int RunWriteMany(const WriteOptions& o) {
    JobReport command("write", o.file, o.report);
    std::ostream& out = command.Out();
    auto started = StartFileJob(command, o.file, o.target.emulator, o.count.has_value());
    if (!started) {
        return started.error();
    }
    Session& session = **started;
    Targets targets = o.target.devices.size() > 1
                          ? OpenNamed(o.target.devices, session)
                          : OpenPresent(o.count, o.target.waitSeconds, session, out);
    if (!targets) {
        return targets.error() == kExitCancelled
                   ? command.End(kExitCancelled, ToString(ProgramEnding::Cancelled),
                                 "interrupted while waiting for programmers")
                   : command.EndBeforeJob(targets.error());
    }
    if (targets->empty()) {
        std::cerr << "tarnwick-cli: "
                  << Say("no programmer found (`tarnwick-cli list` shows every drive probed and "
                         "why it is not the programmer)")
                  << '\n';
        return command.EndBeforeJob(kExitNoProgrammer);
    }

    ProgressBoard board(std::cerr, ProgressIsOnTerminal(), TerminalColumns(), !o.report.quiet);
    // One record and one row per programmer; each report opens the log as the command's did.
    std::vector<ProgressBoard::Row*> rows;
    std::vector<std::unique_ptr<JobReport>> reports;
    const std::optional<std::uint64_t> size = SizeOf(o.file);
    for (const WriteTarget& target : *targets) {
        const FoundProgrammer& programmer = target.programmer;
        const std::string tag = TargetTag(programmer);
        board.Line("[" + tag + "] " +
                   Say("programmer: drive {1} ({2}), serial {3}",
                       {std::to_string(programmer.drive), programmer.driveName,
                        programmer.usbSerial.value_or(Say("none"))}));
        ProgressBoard::Row& row = *rows.emplace_back(&board.AddRow(tag, Say("waiting")));
        auto& report =
            reports.emplace_back(std::make_unique<JobReport>("write", o.file, o.report, row, tag));
        if (const int code = report->Open(); code != kExitSuccess) {
            return code;
        }
        report->Start(size, programmer);
    }
    const std::vector<TargetOutcome> outcomes =
        session.Run<std::vector<TargetOutcome>>([&](std::stop_token stop) {
            return WriteEach(*targets, o.file, o.verify, rows, reports, stop);
        });

    int exit = kExitSuccess;
    int written = 0;
    std::vector<TargetEnding> endings;
    for (std::size_t i = 0; i < targets->size(); ++i) {
        const TargetEnding& ending =
            endings.emplace_back(EndingOf(outcomes[i], o.verify, Interrupted()));
        rows[i]->Ended(Say(ending.name));
        if (ending.code == kExitSuccess) {
            ++written;
        } else {
            exit = kExitSomeFailed;
        }
    }
    board.Finish();
    PrintTable(out, *targets, outcomes, endings);
    for (std::size_t i = 0; i < targets->size(); ++i) {
        const TargetEnding& ending = endings[i];
        if (ending.code != kExitSuccess) {
            std::cerr << "tarnwick-cli: [" << TargetTag((*targets)[i].programmer) << "] "
                      << Say("{1}: {2}", {Say(ending.name), Say(ending.detail)}) << '\n';
        }
        if (reports[i]->End(ending.code, ending.name, ending.detail, ending.verified) !=
                ending.code &&
            exit == kExitSuccess) {
            exit = kExitLogFailed;  // the record was not kept, said already
        }
    }
    if (auto closed = session.Close(); !closed) {
        std::cerr << "tarnwick-cli: " << closed.error().Describe() << '\n';
        exit = exit == kExitSuccess ? kExitUsage : exit;
    }
    if (Interrupted()) {
        exit = kExitCancelled;
    }
    if (o.report.json) {
        JsonEvents::Summary(std::cout, exit, written, static_cast<int>(targets->size()) - written);
    }
    return exit;
}

}  // namespace tarnwick::cli
