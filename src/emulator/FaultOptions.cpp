#include "emulator/FaultOptions.h"

#include <map>
#include <stdexcept>
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

bool ValidFlashSize(std::uint64_t size) {
    return size != 0 && size % NorFlash::kBlockSize == 0 && size <= (1ull << 32);
}

Result<FaultPlan> MakeFaultPlan(const FaultOptions& o) {
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
                return Fail(std::string(option) + " expects ADDRESS:COUNT, got '" + spec + "'");
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
