#include "cli/ServiceCommands.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/FileCheck.h"
#include "cli/OwnLines.h"
#include "cli/ProgressLine.h"
#include "cli/Session.h"
#include "cli/Terminal.h"
#include "jobs/ReadBack.h"
#include "jobs/TransferTest.h"

namespace tarnwick::cli {

namespace {

// Opens the session and finds the programmer; a non-zero code when that failed.
int Prepare(const TargetOptions& target, ConsoleDisplay& console,
            std::unique_ptr<Session>& session) {
    auto opened = Session::Open(target.emulator, target.wait, console);
    if (!opened) {
        std::cerr << "tarnwick-cli: " << opened.error().Describe() << '\n';
        return kExitUsage;
    }
    session = std::move(*opened);
    return SelectProgrammer(target, *session, console);
}

const char* ReadEndingName(ReadBackEnding ending) {
    switch (ending) {
        case ReadBackEnding::Success:
            return "success";
        case ReadBackEnding::NotAnswering:
            return ToString(ProgramEnding::NotAnswering);
        case ReadBackEnding::OpenFailed:
            return "cannot create the output file";
        case ReadBackEnding::ReadFailed:
            return "read failed";
        case ReadBackEnding::Cancelled:
            return ToString(ProgramEnding::Cancelled);
    }
    return "unknown";
}

int Finish(Session& session, int code) {
    if (auto closed = session.Close(); !closed) {
        std::cerr << "tarnwick-cli: " << closed.error().Describe() << '\n';
        return code == kExitSuccess ? kExitUsage : code;
    }
    return code;
}

}  // namespace

void AddReadCommand(CLI::App& app, ReadOptions& o) {
    CLI::App* read = app.add_subcommand("read", "Save the flash from address 0 into a file");
    read->add_option("FILE", o.file, "Output file; an existing one is replaced")->required();
    read->add_option("--length", o.length, "Bytes to read, rounded down to whole 512-byte pages")
        ->required()
        ->check(CLI::NonNegativeNumber);
    AddTargetOptions(*read, o.target, false);
    AddReportOptions(*read, o.report);
    read->footer(ExitCodeHelp({0, 1, 3, 4, 9, 10, 11, 14}, "the flash was read into the file"));
}

void AddTransferTestCommand(CLI::App& app, TransferTestOptions& o) {
    o.bytes = TransferTest::kDefaultBound;
    CLI::App* test = app.add_subcommand(
        "transfer-test",
        "Write a 2048-byte pattern block after block without erasing, read each back, and "
        "report bad cycles");
    test->add_option("--bytes", o.bytes, "Stop after the last cycle that fits below this bound")
        ->capture_default_str();
    AddTargetOptions(*test, o.target, false);
    AddReportOptions(*test, o.report, false);
    test->footer(ExitCodeHelp({0, 1, 3, 9, 10, 12}, "every cycle was written and read back alike"));
}

int RunRead(const ReadOptions& o) {
    JobReport report("read", o.file, o.report);
    if (const int code = report.Open(); code != kExitSuccess) {
        return code;
    }
    std::ostream& out = report.Out();
    ConsoleDisplay& console = report.Console();
    // Before anything waits: opening a FIFO to write blocks until a reader comes.
    if (const Result<bool> file = CheckRegularFile(o.file); !file) {
        std::cerr << "tarnwick-cli: "
                  << Say("cannot write the output file: {1}", {file.error().Describe()}) << '\n';
        return report.End(kExitOpenFailed, ReadEndingName(ReadBackEnding::OpenFailed),
                          file.error().Describe());
    }
    std::unique_ptr<Session> session;
    if (const int code = Prepare(o.target, console, session); code != kExitSuccess) {
        return report.EndBeforeJob(code);
    }
    report.Start(static_cast<std::uint64_t>(o.length) / 512 * 512, session->Discovery().Presence());
    report.Phase("read");
    if (o.length % 512 != 0) {
        console.Line(Say("reading {1} bytes: the length is rounded down to whole pages",
                         {std::to_string(o.length / 512 * 512)}));
    }
    const ReadBackResult result = session->Run<ReadBackResult>([&](std::stop_token stop) {
        return ReadFlashToFile(session->Link().Device(), o.file, o.length, &report.Progress(),
                               stop);
    });
    console.Finish();
    const ReadBackEnding ending = Interrupted() ? ReadBackEnding::Cancelled : result.ending;
    std::string detail = result.fault ? result.fault->Describe() : std::string();
    int code = kExitSuccess;
    switch (ending) {
        case ReadBackEnding::Success:
            out << Say("read: {1} into {2}",
                       {FormatBytes(static_cast<double>(result.bytesWritten)), o.file})
                << '\n';
            break;
        case ReadBackEnding::NotAnswering:
            code = kExitNotAnswering;
            break;
        case ReadBackEnding::OpenFailed:
            code = kExitOpenFailed;
            break;
        case ReadBackEnding::ReadFailed:
            code = kExitReadFailed;
            break;
        case ReadBackEnding::Cancelled:
            code = kExitCancelled;
            break;
    }
    if (code == kExitCancelled && result.ending == ReadBackEnding::Success) {
        // Stopped too late to matter: the file is whole, but nothing may read as success.
        detail = "interrupted after the last page was read into " + o.file;
        std::cerr << "tarnwick-cli: "
                  << Say("interrupted after the last page was read into {1}", {o.file}) << '\n';
    } else if (code != kExitSuccess) {
        std::cerr << "tarnwick-cli: " << Say("read-back failed, no file left behind: {1}", {detail})
                  << '\n';
    }
    code = Finish(*session, code);
    return report.End(code, ReadEndingName(ending), detail);
}

int RunTransferTest(const TransferTestOptions& o) {
    JobReport report("transfer-test", {}, o.report);
    ConsoleDisplay& console = report.Console();
    std::unique_ptr<Session> session;
    if (const int code = Prepare(o.target, console, session); code != kExitSuccess) {
        return report.EndBeforeJob(code);
    }
    // The test's bound, rounded down to whole cycles, is what the progress counts towards.
    report.Start(o.bytes / TransferTest::kBlockBytes * TransferTest::kBlockBytes,
                 session->Discovery().Presence());
    report.Phase("transfer");
    TransferTest test(console, &report.Progress());
    const TransferTestResult result = session->Run<TransferTestResult>(
        [&](std::stop_token stop) { return test.Run(session->Link().Device(), o.bytes, stop); });
    console.Finish();
    if (!result.started && !Interrupted()) {
        const std::string detail = "the programmer does not answer";
        std::cerr << "tarnwick-cli: " << Say(detail) << '\n';
        return report.End(Finish(*session, kExitNotAnswering),
                          ToString(ProgramEnding::NotAnswering), detail);
    }
    const std::string cycles = std::to_string(result.cycles);
    const std::string badStatus = std::to_string(result.statusErrors);
    const std::string different = std::to_string(result.compareErrors);
    report.Out() << Say("transfer test: {1} cycles of 2048 bytes, {2} with a bad write status, {3} "
                        "read back different",
                        {cycles, badStatus, different})
                 << '\n';
    // The events' detail is for scripts: English in every locale.
    const std::string counts = cycles + " cycles of 2048 bytes, " + badStatus +
                               " with a bad write status, " + different + " read back different";
    int code = kExitSuccess;
    const char* ending = "success";
    if (result.cancelled || Interrupted()) {
        std::cerr << "tarnwick-cli: " << Say("interrupted") << '\n';
        code = kExitCancelled;
        ending = ToString(ProgramEnding::Cancelled);
    } else if (result.statusErrors + result.compareErrors > 0) {
        code = kExitTestErrors;
        ending = "bad cycles";
    }
    return report.End(Finish(*session, code), ending, code == kExitSuccess ? "" : counts,
                      std::nullopt,
                      {{"cycles", result.cycles},
                       {"bad_write_status", result.statusErrors},
                       {"read_back_different", result.compareErrors}});
}

}  // namespace tarnwick::cli
