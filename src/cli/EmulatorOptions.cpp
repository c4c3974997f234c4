#include "cli/EmulatorOptions.h"

#include <CLI/CLI.hpp>
#include <filesystem>

namespace tarnwick::cli {

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
        const auto count = std::stoi(text.substr(colon + 1));
        if (used != colon || count < 0 || address > 0xFFFFFFFFul) {
            return false;
        }
        into[static_cast<std::uint32_t>(address)] = count;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

void AddEmulatorOptions(CLI::App& command, EmulatorOptions& o) {
    const char* group = "Emulated programmer";
    command
        .add_option_function<std::string>(
            "--emulate",
            [&o](const std::string& file) {
                o.enabled = true;
                o.flashFile = file;
            },
            "Use the emulated programmer instead of a real one; its flash is kept in "
            "FLASHFILE when given")
        ->expected(0, 1)
        ->type_name("[=FLASHFILE]")
        ->group(group);
    command.add_option("--emulate-size", o.flashSize, "Flash size in bytes (default 16 MiB)")
        ->group(group);
    command
        .add_option("--emulate-latency-us", o.latencyUs,
                    "Time each command takes, in microseconds (a real one: about 1000)")
        ->group(group);
    command
        .add_option("--emulate-resend", o.resendPages,
                    "ADDRESS:N - ask for the page at ADDRESS to be sent again N times")
        ->group(group);
    command.add_option("--emulate-fail-page", o.failPages, "ADDRESS - the page never programs")
        ->group(group);
    command
        .add_option("--emulate-malformed-status", o.malformedStatus,
                    "ADDRESS:N - garble the next N write-status replies for the page")
        ->group(group);
    command
        .add_option("--emulate-fail-erase", o.failEraseBlock, "BLOCK - the erase of block fails")
        ->group(group);
    command.add_flag("--emulate-mute-link", o.muteLink, "Leave the link query unanswered")
        ->group(group);
    command
        .add_option("--emulate-drop-after", o.dropAfter,
                    "N - the programmer falls off the bus after N commands")
        ->group(group);
}

std::shared_ptr<EmulatedProgrammer> MakeEmulator(const EmulatorOptions& o, std::string& error) {
    if (o.flashSize == 0 || o.flashSize % NorFlash::kBlockSize != 0 || o.flashSize > (1ull << 32)) {
        error = "--emulate-size must be a non-zero multiple of 64 KiB, at most 4 GiB";
        return nullptr;
    }
    FaultPlan plan;
    for (const std::string& spec : o.resendPages) {
        if (!ParsePageCount(spec, plan.resendPage)) {
            error = "--emulate-resend expects ADDRESS:COUNT, got '" + spec + "'";
            return nullptr;
        }
    }
    for (const std::string& spec : o.malformedStatus) {
        if (!ParsePageCount(spec, plan.malformedStatus)) {
            error = "--emulate-malformed-status expects ADDRESS:COUNT, got '" + spec + "'";
            return nullptr;
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

    auto programmer = std::make_shared<EmulatedProgrammer>(static_cast<std::size_t>(o.flashSize));
    programmer->SetFaults(std::move(plan));
    if (!o.flashFile.empty() && std::filesystem::exists(o.flashFile)) {
        error = programmer->LoadFlash(o.flashFile);
        if (!error.empty()) {
            return nullptr;
        }
    }
    return programmer;
}

std::string SaveEmulator(const EmulatorOptions& o, const EmulatedProgrammer& programmer) {
    return o.flashFile.empty() ? std::string() : programmer.SaveFlash(o.flashFile);
}

}  // namespace tarnwick::cli
