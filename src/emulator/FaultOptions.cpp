#include "emulator/FaultOptions.h"

#include <CLI/CLI.hpp>
#include <tuple>

namespace tarnwick {

namespace {

// "ADDRESS:COUNT" with C-style numbers (0x200:3).
bool ParsePageCount(const std::string& text, std::map<std::uint32_t, int>& into) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    try {
        std::size_t used = 0;
        const auto address = std::stoul(text.substr(0, colon), &used, 0);
        std::size_t countUsed = 0;
        const auto count = std::stoi(text.substr(colon + 1), &countUsed);
        if (used != colon || countUsed != text.size() - colon - 1 || count < 0 ||
            address > 0xFFFFFFFFul) {
            return false;
        }
        into[static_cast<std::uint32_t>(address)] = count;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

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

bool ValidFlashSize(std::uint64_t size) {
    return size != 0 && size % NorFlash::kBlockSize == 0 && size <= (1ull << 32);
}

std::optional<FaultPlan> MakeFaultPlan(const FaultOptions& o, std::string* error) {
    FaultPlan plan;
    const std::tuple<const char*, const std::vector<std::string>&, std::map<std::uint32_t, int>&>
        pageCounts[] = {
            {"--emulate-resend", o.resendPages, plan.resendPage},
            {"--emulate-malformed-status", o.malformedStatus, plan.malformedStatus},
            {"--emulate-fail-write-request", o.failWriteRequest, plan.failWriteRequest},
            {"--emulate-short-status", o.shortStatus, plan.shortStatus},
        };
    for (const auto& [option, specs, into] : pageCounts) {
        for (const std::string& spec : specs) {
            if (!ParsePageCount(spec, into)) {
                *error = std::string(option) + " expects ADDRESS:COUNT, got '" + spec + "'";
                return std::nullopt;
            }
        }
    }
    plan.failPage.insert(o.failPages.begin(), o.failPages.end());
    if (o.failEraseBlock >= 0) {
        plan.failEraseBlock = static_cast<std::uint32_t>(o.failEraseBlock);
    }
    plan.muteLinkQuery = o.muteLink;
    if (o.dropAfter >= 0) {
        plan.dropAfterCommands = static_cast<std::uint64_t>(o.dropAfter);
    }
    plan.latency = std::chrono::microseconds(o.latencyUs);
    return plan;
}

}  // namespace tarnwick
