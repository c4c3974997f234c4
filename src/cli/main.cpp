#include <CLI/CLI.hpp>

#include "cli/ExitCode.h"
#include "cli/ListCommand.h"
#include "cli/ServiceCommands.h"
#include "cli/StationCommand.h"
#include "cli/Terminal.h"
#include "cli/WriteCommand.h"

int main(int argc, char** argv) {
    using namespace tarnwick::cli;
    CatchInterrupts();
    CLI::App app{"tarnwick-cli: write firmware into the SPI flash of a VORTAN USB programmer"};
    app.require_subcommand(1);
    app.footer(ExitCodeHelp());

    WriteOptions write;
    ListOptions list;
    ReadOptions read;
    TransferTestOptions transferTest;
    StationOptions station;
    AddWriteCommand(app, write);
    AddListCommand(app, list);
    AddReadCommand(app, read);
    AddTransferTestCommand(app, transferTest);
    AddStationCommand(app, station);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitSuccess : kExitUsage;
    }

    if (app.got_subcommand("write")) {
        return RunWrite(write);
    }
    if (app.got_subcommand("list")) {
        return RunList(list);
    }
    if (app.got_subcommand("read")) {
        return RunRead(read);
    }
    if (app.got_subcommand("station")) {
        return RunStation(station);
    }
    if (app.got_subcommand("transfer-test")) {
        return RunTransferTest(transferTest);
    }
    return kExitUsage;
}
