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

bool Fail(TransferFault* fault, int sysErrno, int hostStatus, const char* what) {
    if (fault != nullptr) {
        *fault = {};
        fault->sysErrno = sysErrno;
        fault->hostStatus = hostStatus;
        fault->what = what;
    }
    return false;
}

bool FailWriteRequest(TransferFault* fault) {
    Fail(fault, 0, 0, "emulated programmer: page write aborted");
    if (fault != nullptr) {
        fault->scsiStatus = kCheckCondition;
        fault->senseLength = 18;
        fault->sense[0] = 0x70;
        fault->sense[2] = kSenseAbortedCommand;
        fault->sense[7] = 10;
        fault->sense[12] = 0x4B;  // data phase error
    }
    return false;
}

bool ShortStatus(std::uint8_t* reply, std::uint32_t transferLength, TransferFault* fault) {
    // Only the echo arrives; the rest of the caller's buffer keeps whatever it held, as it does
    // behind a real short transfer.
    constexpr std::uint32_t kMoved = 2;
    reply[0] = kOpStatus;
    reply[1] = kSubWriteStatus;
    char what[64];
    std::snprintf(what, sizeof what, "short transfer, %u of %u bytes moved", kMoved,
                  transferLength);
    Fail(fault, 0, 0, what);
    if (fault != nullptr) {
        fault->residual = transferLength - kMoved;
    }
    return false;
}

}  // namespace

EmulatedProgrammer::EmulatedProgrammer(std::size_t flashSize) : flash(flashSize) {}

bool EmulatedProgrammer::Exchange(const PassThroughRequest& request, TransferFault* fault) {
    std::chrono::microseconds latency{};
    {
        std::lock_guard lock(mutex);
        latency = faults.latency;
    }
    if (latency.count() > 0) {
        std::this_thread::sleep_for(latency);
    }
    std::lock_guard lock(mutex);
    return Handle(request, fault);
}

bool EmulatedProgrammer::Handle(const PassThroughRequest& request, TransferFault* fault) {
    if (present && faults.dropAfterCommands && commandsSeen >= *faults.dropAfterCommands) {
        present = false;
    }
    if (!present) {
        return Fail(fault, ENODEV, 0, "emulated programmer: device gone (ENODEV)");
    }
    ++commandsSeen;
    const DecodedCommand cmd = DecodeCommand(request.cdb);
    log.push_back({cmd.op, cmd.sub, cmd.address, cmd.length, request.transferLength, cmd.crc});

    if (std::string problem = CheckCommandBlock(request.cdb); !problem.empty()) {
        return Reject(fault, std::move(problem));
    }
    if (request.transferLength > 0 && request.buffer == nullptr) {
        return Reject(fault, "data phase without a buffer");
    }
    const bool lengthMatches = (request.transferLength & 0xFFFFu) == cmd.length;
    const bool in = request.direction == DataDirection::In;
    auto* data = static_cast<std::uint8_t*>(request.buffer);

    if (cmd.op == kOpPageRead) {
        if (!in || !lengthMatches) {
            return Reject(fault, "page read with a wrong direction or length");
        }
        return HandleRead(cmd, request, fault);
    }
    if (cmd.op == kOpPageWrite && cmd.sub == kSubWrite) {
        if (in || !lengthMatches) {
            return Reject(fault, "page write with a wrong direction or length");
        }
        if (auto it = faults.failWriteRequest.find(cmd.address);
            it != faults.failWriteRequest.end() && it->second > 0) {
            // Lost on the way: the programmer never saw it, so its status stays that of the
            // page before.
            --it->second;
            return FailWriteRequest(fault);
        }
        HandleWrite(cmd, request);
        return true;
    }
    if (cmd.op == kOpPageWrite) {
        if (!in || request.transferLength != kReplyLength) {
            return Reject(fault, "block erase with a wrong direction or transfer length");
        }
        std::memset(data, 0, request.transferLength);
        HandleErase(cmd, data);
        return true;
    }
    if (!in || !lengthMatches || request.transferLength < 3) {
        return Reject(fault, "status query with a wrong direction or length");
    }
    if (auto it = faults.shortStatus.find(lastWriteAddress);
        cmd.sub == kSubWriteStatus && it != faults.shortStatus.end() && it->second > 0) {
        --it->second;
        return ShortStatus(data, request.transferLength, fault);
    }
    std::memset(data, 0, request.transferLength);
    return HandleStatus(cmd, data, fault);
}

bool EmulatedProgrammer::HandleRead(const DecodedCommand& cmd, const PassThroughRequest& request,
                                    TransferFault* fault) {
    std::span out(static_cast<std::uint8_t*>(request.buffer), request.transferLength);
    if (!flash.Read(cmd.address, out)) {
        return Fail(fault, 0, 0, "emulated programmer: read beyond the end of the flash");
    }
    return true;
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

bool EmulatedProgrammer::HandleStatus(const DecodedCommand& cmd, std::uint8_t* reply,
                                      TransferFault* fault) {
    reply[0] = kOpStatus;
    reply[1] = cmd.sub;
    if (cmd.sub == kSubLinkStatus) {
        if (faults.muteLinkQuery) {
            return Fail(fault, ETIMEDOUT, kHostTimeout,
                        "emulated programmer: no answer (time-out)");
        }
        reply[2] = kLinkOnline;
    } else if (cmd.sub == kSubWriteStatus) {
        auto it = faults.malformedStatus.find(lastWriteAddress);
        if (it != faults.malformedStatus.end() && it->second > 0) {
            --it->second;
            reply[1] = kSubLinkStatus;  // echoes the wrong sub-code
            return true;
        }
        reply[2] = writeStatus;
    }
    return true;
}

bool EmulatedProgrammer::Reject(TransferFault* fault, std::string violation) {
    Fail(fault, 0, 0, "emulated programmer: illegal request");
    if (fault != nullptr) {
        fault->scsiStatus = kCheckCondition;
        fault->senseLength = 18;
        fault->sense[0] = 0x70;
        fault->sense[2] = kSenseIllegalRequest;
        fault->sense[7] = 10;
        fault->sense[12] = 0x20;  // invalid command operation code
        fault->what += " (" + violation + ")";
    }
    violations.push_back(std::move(violation));
    return false;
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

std::string EmulatedProgrammer::SaveFlash(const std::string& path) const {
    // A copy, so that commands are not held up while the image goes to disk.
    NorFlash snapshot(0);
    {
        std::lock_guard lock(mutex);
        snapshot = flash;
    }
    return snapshot.Save(path);
}

std::string EmulatedProgrammer::LoadFlash(const std::string& path) {
    std::lock_guard lock(mutex);
    return flash.Load(path);
}

}  // namespace tarnwick
