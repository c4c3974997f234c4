#include "cli/StationCommand.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <list>
#include <map>
#include <thread>

#include "cli/ExitCode.h"
#include "cli/MultiWrite.h"
#include "cli/OwnLines.h"
#include "cli/Session.h"
#include "cli/StationLedger.h"
#include "cli/Terminal.h"
#include "cli/WriteCommand.h"

namespace tarnwick::cli {

void AddStationCommand(CLI::App& app, StationOptions& o) {
    CLI::App* station = app.add_subcommand(
        "station",
        "Write the file into every programmer plugged in, once per plug, several at once, "
        "until Ctrl-C; then print the totals (exit 13 when a job failed)");
    station->add_option("FILE", o.file, "Firmware image, written byte for byte from address 0")
        ->required();
    station->add_flag("--verify", o.verify,
                      "Read each flash back afterwards and compare it with the file");
    AddEmulatorOptions(*station, o.emulator);
    AddReportOptions(*station, o.report);
    station->footer(ExitCodeHelp({0, 1, 2, 4, 13, 14}, "stopped with Ctrl-C, and no job failed"));
}

namespace {

// How often the station looks again without a device change: one the monitor missed, or a
// drive that could not be opened the first time, still shows.
constexpr auto kLookInterval = std::chrono::seconds(2);
constexpr auto kWait = std::chrono::milliseconds(200);

struct StationJob {
    WriteTarget target;
    ProgressBoard::Row* row = nullptr;
    std::unique_ptr<JobReport> report;
    TargetOutcome outcome;
    std::atomic<bool> done{false};
    std::jthread worker;  // last: joined before the rest goes
};

class Station {
  public:
    Station(const StationOptions& o, Session& s, ProgressBoard& b)
        : options(o), session(s), board(b) {}

    // Until Ctrl-C; returns the exit status.
    int Run();

  private:
    void Look();
    void Start(WriteTarget target);
    // Ends the jobs that are done; true when there were any.
    bool Reap();
    // After Ctrl-C: the running jobs are asked to stop and waited for.
    void StopJobs();
    int Totals();

    const StationOptions& options;
    Session& session;
    ProgressBoard& board;
    StationLedger ledger;
    std::stop_source stop;
    std::list<StationJob> jobs;  // a list keeps each job where it is while its thread runs
    std::map<std::string, ProgressBoard::Row*> rows;
    int unfinished = 0;    // jobs left behind at the end
    bool logLost = false;  // the log could not be opened or written: the station stops
};

int Station::Run() {
    board.Line(
        Say("station: writing {1} into every programmer plugged in; Ctrl-C ends", {options.file}));
    auto nextLook = std::chrono::steady_clock::now();
    bool look = true;
    while (!Interrupted() && !logLost) {
        look = Reap() || look || std::chrono::steady_clock::now() >= nextLook;
        if (look) {
            Look();
            nextLook = std::chrono::steady_clock::now() + kLookInterval;
        }
        look = session.WaitForDeviceChange(kWait);
    }
    StopJobs();
    return Totals();
}

void Station::Look() {
    const StationLedger::Changes changes = ledger.Look(ProgrammersPresent(session));
    for (const std::string& port : changes.unplugged) {
        rows.at(port)->Ended(Say("unplugged, waiting for the next programmer"));
    }
    for (const FoundProgrammer& programmer : changes.toWrite) {
        if (std::optional<WriteTarget> target = OpenTarget(session, programmer)) {
            Start(std::move(*target));
        } else {
            ledger.Release(programmer);
        }
    }
}

void Station::Start(WriteTarget target) {
    const FoundProgrammer& programmer = target.programmer;
    const std::string tag = TargetTag(programmer);
    board.Line("[" + tag + "] " +
               Say("programmer plugged in: drive {1} ({2}), serial {3}",
                   {std::to_string(programmer.drive), programmer.driveName,
                    programmer.usbSerial.value_or(Say("none"))}));
    auto [row, added] = rows.try_emplace(tag, nullptr);
    if (added) {
        row->second = &board.AddRow(tag, Say("plugged in"));
    }
    StationJob& job = jobs.emplace_back();
    job.target = std::move(target);
    job.row = row->second;
    job.report =
        std::make_unique<JobReport>("station", options.file, options.report, *job.row, tag);
    if (job.report->Open() != kExitSuccess) {
        // Said already. No job without its record: the station stops taking programmers.
        ledger.Release(job.target.programmer);
        jobs.pop_back();
        logLost = true;
        return;
    }
    job.report->Start(SizeOf(options.file), job.target.programmer);
    // The workers inherit the blocked signals: Ctrl-C comes to this thread alone.
    WithInterruptsBlocked([&] {
        job.worker = std::jthread([this, &job] {
            job.outcome = WriteOneTarget(job.target, options.file, options.verify, *job.row,
                                         *job.report, stop.get_token());
            job.done = true;
        });
    });
}

bool Station::Reap() {
    bool any = false;
    for (auto it = jobs.begin(); it != jobs.end();) {
        StationJob& job = *it;
        if (!job.done) {
            ++it;
            continue;
        }
        if (job.worker.joinable()) {
            job.worker.join();
        }
        const TargetEnding ending = EndingOf(job.outcome, options.verify, Interrupted());
        const std::string tag = TargetTag(job.target.programmer);
        if (ending.code == kExitSuccess) {
            job.row->Ended(Say("written, unplug it for the next"));
        } else {
            std::cerr << "tarnwick-cli: [" << tag << "] "
                      << Say("{1}: {2}", {Say(ending.name), Say(ending.detail)}) << '\n';
            job.row->Ended(Say("{1}, unplug it for the next", {Say(ending.name)}));
        }
        // Kept on disk before the port takes its next programmer.
        job.report->End(ending.code, ending.name, ending.detail, ending.verified);
        // A job whose record is lost does not count as written, and no job starts without one.
        logLost = logLost || job.report->RecordLost();
        ledger.Ended(job.target.programmer,
                     ending.code == kExitSuccess && !job.report->RecordLost());
        it = jobs.erase(it);
        any = true;
    }
    return any;
}

void Station::StopJobs() {
    stop.request_stop();
    const auto leaveAt = std::chrono::steady_clock::now() + Session::kStopGrace;
    while (!jobs.empty()) {
        Reap();
        if (jobs.empty() || std::chrono::steady_clock::now() >= leaveAt || InterruptCount() > 1) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A job still waiting for its programmer's answer is left behind: the totals count it
    // as failed, and the process ends without waiting for it.
    unfinished = static_cast<int>(jobs.size());
}

int Station::Totals() {
    board.Finish();
    const int failed = ledger.Failed() + unfinished;
    std::ostream& out = options.report.json ? std::cerr : std::cout;
    out << '\n'
        << Say("station: {1} written, {2} failed",
               {std::to_string(ledger.Written()), std::to_string(failed)})
        << '\n';
    // Padded by columns, not bytes: a Chinese heading takes two columns a character.
    out << PadColumns(Say("port"), 18) << ' ' << PadColumns(Say("written"), 8, true) << ' '
        << PadColumns(Say("failed"), 8, true) << '\n';
    char line[96];
    std::vector<JsonEvents::PortCount> ports;
    for (const StationLedger::PortTotals& totals : ledger.Ports()) {
        std::snprintf(line, sizeof line, "%-18s %8d %8d\n", totals.port.c_str(), totals.written,
                      totals.failed);
        out << line;
        ports.push_back({totals.port, totals.written, totals.failed});
    }
    if (unfinished > 0) {
        out << Say("{1} job(s) did not stop and are left unfinished", {std::to_string(unfinished)})
            << '\n';
    }
    out << std::flush;
    const int exit = logLost ? kExitLogFailed : failed == 0 ? kExitSuccess : kExitSomeFailed;
    if (options.report.json) {
        JsonEvents::Summary(std::cout, exit, ledger.Written(), failed, ports);
    }
    if (unfinished > 0) {
        std::cout << std::flush;
        std::_Exit(exit);  // not exit(): that would join workers still blocked where they are
    }
    return exit;
}

}  // namespace

int RunStation(const StationOptions& o) {
    JobReport command("station", o.file, o.report);
    auto opened = StartFileJob(command, o.file, o.emulator, true);
    if (!opened) {
        return opened.error();
    }
    ProgressBoard board(std::cerr, ProgressIsOnTerminal(), TerminalColumns(), !o.report.quiet);
    Station station(o, **opened, board);
    const int exit = station.Run();
    if (auto closed = (*opened)->Close(); !closed) {
        std::cerr << "tarnwick-cli: " << closed.error().Describe() << '\n';
        return exit == kExitSuccess ? kExitUsage : exit;
    }
    return exit;
}

}  // namespace tarnwick::cli
