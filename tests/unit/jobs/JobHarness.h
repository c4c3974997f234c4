#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "TempFile.h"
#include "display/DisplaySink.h"
#include "emulator/EmulatedProgrammer.h"
#include "jobs/ProgramJob.h"

namespace tarnwick::testing {

// One display command as it arrived, with its text copied at once (the sender reuses buffers).
struct Shown {
    int command = 0;
    std::int64_t value = 0;
    std::string text;
    bool operator==(const Shown&) const = default;
};
inline Shown Reset() {
    return {DISPLAY_RESET, 0, {}};
}
inline Shown Text(std::string text) {
    return {DISPLAY_TEXT, 0, std::move(text)};
}
inline Shown Progress(std::int64_t percent) {
    return {DISPLAY_PROGRESS, percent, {}};
}
inline Shown Enable(bool on) {
    return {DISPLAY_ENABLE, on ? 1 : 0, {}};
}
inline Shown Bar(bool success) {  // the job's ending shown: green or red
    return {DISPLAY_RESULT, success ? 1 : 0, {}};
}

// Records display commands and message boxes, and lets a test act in the middle of a job:
// `onSend` runs before each display command is recorded.
struct RecordingDisplay : DisplaySink, MessageBoxSink {
    std::function<void(const DisplayMessage&)> onSend;
    std::vector<Shown> commands;
    std::vector<std::string> boxes;

    void Send(const DisplayMessage& message) override {
        if (onSend) {
            onSend(message);
        }
        commands.push_back({message.command, message.value,
                            message.text != nullptr ? std::string(message.text) : std::string()});
    }
    void ShowMessage(const char* text) override { boxes.emplace_back(text); }
    // Red at the end, and never green on the way there.
    bool EndedRed() const {
        return std::count(commands.begin(), commands.end(), Bar(true)) == 0 && !commands.empty() &&
               commands.back() == Bar(false);
    }
};

// Passes commands on, but the page read at `address` moves only the page's first two bytes:
// as a short transfer that fails, or as one whose transport claims that every byte moved.
struct PartialPageRead : PassThrough {
    PartialPageRead(std::shared_ptr<PassThrough> to, std::uint32_t at, bool claims)
        : inner(std::move(to)), address(at), claimsSuccess(claims) {}
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
    std::shared_ptr<PassThrough> inner;
    std::uint32_t address;
    bool claimsSuccess;
};

// Why a job ended, as a person reads it; empty for none.
inline std::string Why(const std::optional<Fault>& fault) {
    return fault ? fault->Describe() : std::string();
}

// A programming job wired to an emulated programmer and a recording display.
struct JobHarness {
    explicit JobHarness(std::size_t flashSize = NorFlash::kDefaultSize)
        : programmer(std::make_shared<EmulatedProgrammer>(flashSize)) {
        link.Set(programmer, 3);
    }

    ProgramResult Run(const std::vector<std::uint8_t>& contents, std::stop_token stop = {}) {
        file = std::make_unique<TempFile>(contents);
        path.Set(file->Path());
        return job.ProgramFlash(stop);
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
    RecordingDisplay display;
    std::ostringstream stdoutLines;
    ProgramJob job{link, path, display, display, stdoutLines};
    std::unique_ptr<TempFile> file;
};

}  // namespace tarnwick::testing
