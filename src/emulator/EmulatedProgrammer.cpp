#include "emulator/EmulatedProgrammer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "link/CommandBlock.h"
#include "link/Crc16.h"

namespace tarnwick {

namespace {

constexpr std::uint8_t kCheckCondition = 0x02;
constexpr std::uint8_t kSenseIllegalRequest = 0x05;
constexpr std::uint8_t kSenseAbortedCommand = 0x0B;
constexpr int kHostTimeout = 0x03;  // what a host adapter reports for an unanswered command

// As the programmer's own failures read: "emulated programmer: <cause>".
Fault Failure(const char* cause, int sysErrno = 0, int hostStatus = 0) {
    Fault fault = Fault::Because(cause, sysErrno).Within("emulated programmer");
    fault.scsi.hostStatus = hostStatus;
    return fault;
}

// CHECK CONDITION with fixed-format sense data of `key` and `asc`.
Fault CheckCondition(Fault fault, std::uint8_t key, std::uint8_t asc) {
    fault.scsi.scsiStatus = kCheckCondition;
    fault.scsi.senseLength = 18;
    fault.scsi.sense[0] = 0x70;
    fault.scsi.sense[2] = key;
    fault.scsi.sense[7] = 10;
    fault.scsi.sense[12] = asc;
    return fault;
}

std::unexpected<Fault> FailWriteRequest() {
    // 0x4B: data phase error
    return Fail(CheckCondition(Failure("page write aborted"), kSenseAbortedCommand, 0x4B));
}

std::unexpected<Fault> ShortStatus(std::uint8_t* reply, std::uint32_t transferLength) {
    // Only the echo arrives; the rest of the caller's buffer keeps whatever it held, as it does
    // behind a real short transfer.
    constexpr std::uint32_t kMoved = 2;
    reply[0] = kOpStatus;
    reply[1] = kSubWriteStatus;
    char what[64];
    std::snprintf(what, sizeof what, "short transfer, %u of %u bytes moved", kMoved,
                  transferLength);
    Fault fault = Fault::Because(what);
    fault.scsi.residual = transferLength - kMoved;
    return Fail(std::move(fault));
}

}  // namespace

EmulatedProgrammer::EmulatedProgrammer(std::size_t flashSize) : flash(flashSize) {}

Result<void> EmulatedProgrammer::Exchange(const PassThroughRequest& request) {
    std::chrono::microseconds latency{};
    {
        std::lock_guard lock(mutex);
        latency = faults.latency;
    }
    if (latency.count() > 0) {
        std::this_thread::sleep_for(latency);
    }
    std::lock_guard lock(mutex);
    return Handle(request);
}

Result<void> EmulatedProgrammer::Handle(const PassThroughRequest& request) {
    if (present && faults.dropAfterCommands && commandsSeen >= *faults.dropAfterCommands) {
        present = false;
    }
    if (!present) {
        return Fail(Failure("device gone (ENODEV)", ENODEV));
    }
    ++commandsSeen;
    const DecodedCommand cmd = DecodeCommand(request.cdb);
    log.push_back({cmd.op, cmd.sub, cmd.address, cmd.length, request.transferLength, cmd.crc});

    if (auto wellFormed = CheckCommandBlock(request.cdb); !wellFormed) {
        return Reject(std::move(wellFormed.error().cause));
    }
    if (request.transferLength > 0 && request.buffer == nullptr) {
        return Reject("data phase without a buffer");
    }
    const bool lengthMatches = (request.transferLength & 0xFFFFu) == cmd.length;
    const bool in = request.direction == DataDirection::In;
    auto* data = static_cast<std::uint8_t*>(request.buffer);

    if (cmd.op == kOpPageRead) {
        if (!in || !lengthMatches) {
            return Reject("page read with a wrong direction or length");
        }
        return HandleRead(cmd, request);
    }
    if (cmd.op == kOpPageWrite && cmd.sub == kSubWrite) {
        if (in || !lengthMatches) {
            return Reject("page write with a wrong direction or length");
        }
        if (auto it = faults.failWriteRequest.find(cmd.address);
            it != faults.failWriteRequest.end() && it->second > 0) {
            // Lost on the way: the programmer never saw it, so its status stays that of the
            // page before.
            --it->second;
            return FailWriteRequest();
        }
        HandleWrite(cmd, request);
        return {};
    }
    if (cmd.op == kOpPageWrite) {
        if (!in || request.transferLength != kReplyLength) {
            return Reject("block erase with a wrong direction or transfer length");
        }
        std::memset(data, 0, request.transferLength);
        HandleErase(cmd, data);
        return {};
    }
    if (!in || !lengthMatches || request.transferLength < 3) {
        return Reject("status query with a wrong direction or length");
    }
    if (auto it = faults.shortStatus.find(lastWriteAddress);
        cmd.sub == kSubWriteStatus && it != faults.shortStatus.end() && it->second > 0) {
        --it->second;
        return ShortStatus(data, request.transferLength);
    }
    std::memset(data, 0, request.transferLength);
    return HandleStatus(cmd, data);
}

Result<void> EmulatedProgrammer::HandleRead(const DecodedCommand& cmd,
                                            const PassThroughRequest& request) {
    std::span out(static_cast<std::uint8_t*>(request.buffer), request.transferLength);
    if (!flash.Read(cmd.address, out)) {
        return Fail(Failure("read beyond the end of the flash"));
    }
    return {};
}

void EmulatedProgrammer::HandleWrite(const DecodedCommand& cmd, const PassThroughRequest& request) {
    std::span data(static_cast<const std::uint8_t*>(request.buffer), request.transferLength);
    lastWriteAddress = cmd.address;
    if (Crc16Xmodem(data.data(), data.size()) != cmd.crc) {
        writeStatus = 1;  // damaged on the way: ask for the page again
        return;
    }
    if (faults.failPage.contains(cmd.address)) {
        writeStatus = 2;
        return;
    }
    if (auto it = faults.resendPage.find(cmd.address);
        it != faults.resendPage.end() && it->second > 0) {
        --it->second;
        writeStatus = 1;
        return;
    }
    writeStatus = flash.Program(cmd.address, data) ? 0 : 2;
}

void EmulatedProgrammer::HandleErase(const DecodedCommand& cmd, std::uint8_t* reply) {
    const bool injected =
        faults.failEraseBlock && *faults.failEraseBlock == cmd.address / NorFlash::kBlockSize;
    reply[0] = kOpPageWrite;
    reply[1] = !injected && flash.EraseBlock(cmd.address) ? kSubErase : 0x01;
}

Result<void> EmulatedProgrammer::HandleStatus(const DecodedCommand& cmd, std::uint8_t* reply) {
    reply[0] = kOpStatus;
    reply[1] = cmd.sub;
    if (cmd.sub == kSubLinkStatus) {
        if (faults.muteLinkQuery) {
            return Fail(Failure("no answer (time-out)", ETIMEDOUT, kHostTimeout));
        }
        reply[2] = kLinkOnline;
    } else if (cmd.sub == kSubWriteStatus) {
        auto it = faults.malformedStatus.find(lastWriteAddress);
        if (it != faults.malformedStatus.end() && it->second > 0) {
            --it->second;
            reply[1] = kSubLinkStatus;  // echoes the wrong sub-code
            return {};
        }
        reply[2] = writeStatus;
    }
    return {};
}

std::unexpected<Fault> EmulatedProgrammer::Reject(std::string violation) {
    // 0x20: invalid command operation code
    Fault fault = Failure("illegal request");
    fault.cause += " (" + violation + ")";
    violations.push_back(std::move(violation));
    return Fail(CheckCondition(std::move(fault), kSenseIllegalRequest, 0x20));
}

void EmulatedProgrammer::SetFaults(FaultPlan plan) {
    std::lock_guard lock(mutex);
    faults = std::move(plan);
}

void EmulatedProgrammer::SetPresent(bool isPresent) {
    std::lock_guard lock(mutex);
    present = isPresent;
    if (isPresent) {
        faults.dropAfterCommands.reset();
    }
}

std::vector<LoggedCommand> EmulatedProgrammer::Log() const {
    std::lock_guard lock(mutex);
    return log;
}

void EmulatedProgrammer::ClearLog() {
    std::lock_guard lock(mutex);
    log.clear();
}

std::vector<std::string> EmulatedProgrammer::Violations() const {
    std::lock_guard lock(mutex);
    return violations;
}

std::vector<std::uint8_t> EmulatedProgrammer::FlashBytes(std::uint32_t address,
                                                         std::uint32_t length) const {
    std::lock_guard lock(mutex);
    std::vector<std::uint8_t> out(length);
    if (!flash.Read(address, out)) {
        out.clear();
    }
    return out;
}

std::size_t EmulatedProgrammer::FlashSize() const {
    std::lock_guard lock(mutex);
    return flash.Size();
}

Result<void> EmulatedProgrammer::SaveFlash(const std::string& path) const {
    // A copy, so that commands are not held up while the image goes to disk.
    NorFlash snapshot(0);
    {
        std::lock_guard lock(mutex);
        snapshot = flash;
    }
    return snapshot.Save(path);
}

Result<void> EmulatedProgrammer::LoadFlash(const std::string& path) {
    std::lock_guard lock(mutex);
    return flash.Load(path);
}

}  // namespace tarnwick
