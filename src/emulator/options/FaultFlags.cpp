#include "emulator/options/FaultFlags.h"

#include <CLI/CLI.hpp>

namespace tarnwick {

void AddFaultOptions(CLI::App& app, FaultOptions& o) {
    const char* group = "Emulated programmer";
    app.add_option("--emulate-size", o.flashSize, "Flash size in bytes (default 16 MiB)")
        ->group(group);
    app.add_option("--emulate-latency-us", o.latencyUs,
                   "Time each command takes, in microseconds (a real one: about 1000)")
        ->group(group);
    app.add_option("--emulate-resend", o.resendPages,
                   "ADDRESS:N - ask for the page at ADDRESS to be sent again N times")
        ->group(group);
    app.add_option("--emulate-fail-page", o.failPages, "ADDRESS - the page never programs")
        ->group(group);
    app.add_option("--emulate-malformed-status", o.malformedStatus,
                   "ADDRESS:N - garble the next N write-status replies for the page")
        ->group(group);
    app.add_option("--emulate-fail-write-request", o.failWriteRequest,
                   "ADDRESS:N - the first N writes of the page at ADDRESS fail as requests "
                   "(CHECK CONDITION; nothing programmed)")
        ->group(group);
    app.add_option("--emulate-short-status", o.shortStatus,
                   "ADDRESS:N - cut the next N write-status replies for the page short after "
                   "their two echo bytes")
        ->group(group);
    app.add_option("--emulate-fail-erase", o.failEraseBlock, "BLOCK - the erase of block fails")
        ->group(group);
    app.add_flag("--emulate-mute-link", o.muteLink,
                 "Leave the link query unanswered (no data, no status: the host times out)")
        ->group(group);
    app.add_option("--emulate-drop-after", o.dropAfter,
                   "N - the programmer falls off the bus after N commands")
        ->group(group);
}

}  // namespace tarnwick
