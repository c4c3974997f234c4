#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "cli/ExitCode.h"
#include "cli/ListCommand.h"
#include "cli/ServiceCommands.h"
#include "cli/StationCommand.h"
#include "cli/Terminal.h"
#include "cli/WriteCommand.h"
#include "platform/Console.h"

int main(int argc, char** argv) {
    using namespace tarnwick::cli;
    CatchInterrupts();
    tarnwick::PrepareConsole();
    // File names reach the commands in UTF-8 whatever the system's code page.
    std::vector<std::string> arguments = tarnwick::Utf8Arguments(argc, argv);
    std::vector<char*> utf8Argv;
    for (std::string& argument : arguments) {
        utf8Argv.push_back(argument.data());
    }
    utf8Argv.push_back(nullptr);
    argc = static_cast<int>(arguments.size());
    argv = utf8Argv.data();
    // Named, so that the usage lines say tarnwick-cli and not the path it was started from.
    CLI::App app{"tarnwick-cli: write firmware into the SPI flash of a VORTAN USB programmer",
                 "tarnwick-cli"};
    app.require_subcommand(1);
    app.footer(ExitCodeHelp());
    app.set_version_flag("--version", "tarnwick-cli " TARNWICK_VERSION_TEXT);

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

    if (argc > 1 && argv[1][0] != '-' &&
        app.get_subcommands([&](const CLI::App* c) { return c->check_name(argv[1]); }).empty()) {
        std::cerr << "tarnwick-cli: unknown command '" << argv[1]
                  << "'; the commands are write, list, read, transfer-test and station "
                     "(tarnwick-cli --help)\n";
        return kExitUsage;
    }
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
