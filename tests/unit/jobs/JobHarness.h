#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "RecordingDisplay.h"
#include "TempFile.h"
#include "emulator/EmulatedProgrammer.h"
#include "jobs/ProgramJob.h"

namespace tarnwick::testing {

// Records like any display, and lets a test act in the middle of a job: `onSend` runs before
// each display command is recorded.
struct HookedDisplay : RecordingDisplay {
    std::function<void(const DisplayMessage&)> onSend;
    void Send(const DisplayMessage& message) override {
        if (onSend) {
            onSend(message);
        }
        RecordingDisplay::Send(message);
    }
};

// Passes commands on, but the page read at `address` moves only the page's first two bytes:
// as a short transfer that fails, or as one whose transport claims that every byte moved.
struct PartialPageRead : PassThrough {
    std::shared_ptr<PassThrough> inner;
    std::uint32_t address = 0;
    bool claimsSuccess = false;
    tarnwick::Result<void> Exchange(const PassThroughRequest& r) override {
        if (r.cdb[0] != kOpPageRead || DecodeCommand(r.cdb).address != address) {
            return inner->Exchange(r);
        }
        std::vector<std::uint8_t> whole(r.transferLength);
        PassThroughRequest copy = r;
        copy.buffer = whole.data();
        if (auto passed = inner->Exchange(copy); !passed) {
            return passed;
        }
        std::memcpy(r.buffer, whole.data(), 2);
        if (claimsSuccess) {
            return {};
        }
        return Fail("short transfer");
    }
};

// Why a job ended, as a person reads it; empty for none.
inline std::string Why(const std::optional<Fault>& fault) {
    return fault ? fault->Describe() : std::string();
}

// A programming job wired to an emulated programmer and recording displays.
struct JobHarness {
    explicit JobHarness(std::size_t flashSize = NorFlash::kDefaultSize)
        : programmer(std::make_shared<EmulatedProgrammer>(flashSize)) {
        link.Set(programmer, 3);
    }

    ProgramResult Run(const std::vector<std::uint8_t>& contents) {
        file = std::make_unique<TempFile>(contents);
        path.Set(file->Path());
        return job.ProgramFlash();
    }

    // The emulated programmer misbehaves as `change` makes the plan say.
    template <typename Change>
    void Faults(Change change) {
        FaultPlan plan;
        change(plan);
        programmer->SetFaults(plan);
    }

    // The commands of one kind the programmer received, in order.
    std::vector<LoggedCommand> Received(std::uint8_t op, std::uint8_t sub) const {
        std::vector<LoggedCommand> out;
        for (const LoggedCommand& c : programmer->Log()) {
            if (c.op == op && c.sub == sub) {
                out.push_back(c);
            }
        }
        return out;
    }
    std::vector<std::uint32_t> Addresses(std::uint8_t sub) const {
        std::vector<std::uint32_t> out;
        for (const LoggedCommand& c : Received(0xFB, sub)) {
            out.push_back(c.address);
        }
        return out;
    }
    std::vector<std::uint32_t> WriteAddresses() const { return Addresses(0x01); }
    std::vector<std::uint32_t> EraseAddresses() const { return Addresses(0x00); }

    std::shared_ptr<EmulatedProgrammer> programmer;
    ProgrammerLink link;
    FirmwarePath path;
    HookedDisplay display;
    std::ostringstream stdoutLines;
    ProgramJob job{link, path, display, display, stdoutLines};
    std::unique_ptr<TempFile> file;
};

}  // namespace tarnwick::testing
