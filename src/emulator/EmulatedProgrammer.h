#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/FaultPlan.h"
#include "emulator/NorFlash.h"
#include "link/PassThrough.h"

namespace tarnwick {

// One command as the programmer received it.
struct LoggedCommand {
    std::uint8_t op = 0;
    std::uint8_t sub = 0;
    std::uint32_t address = 0;
    std::uint16_t length = 0;          // from the command block
    std::uint32_t transferLength = 0;  // of the data phase
    std::uint16_t crc = 0;
    bool operator==(const LoggedCommand&) const = default;
};

// The programmer in software: answers the vendor command set on a NOR flash model, with
// injectable faults and a log of what it received. Every member is thread-safe; Exchange
// blocks for the plan's latency.
class EmulatedProgrammer : public PassThrough {
  public:
    static constexpr std::uint8_t kLinkOnline = 0x01;

    explicit EmulatedProgrammer(std::size_t flashSize = NorFlash::kDefaultSize);

    Result<void> Exchange(const PassThroughRequest& request) override;

    void SetFaults(FaultPlan plan);
    // Gone from the bus, or back: requests fail while unplugged.
    void SetPresent(bool present);

    std::vector<LoggedCommand> Log() const;
    void ClearLog();
    // Malformed command blocks and data phases seen; a correct host leaves this empty.
    std::vector<std::string> Violations() const;

    std::vector<std::uint8_t> FlashBytes(std::uint32_t address, std::uint32_t length) const;
    std::size_t FlashSize() const;
    // The flash as a raw image file; see NorFlash::Save and NorFlash::Load.
    Result<void> SaveFlash(const std::string& path) const;
    Result<void> LoadFlash(const std::string& path);

  private:
    Result<void> Handle(const PassThroughRequest& request);
    Result<void> HandleRead(const DecodedCommand& cmd, const PassThroughRequest& request);
    void HandleWrite(const DecodedCommand& cmd, const PassThroughRequest& request);
    void HandleErase(const DecodedCommand& cmd, std::uint8_t* reply);
    Result<void> HandleStatus(const DecodedCommand& cmd, std::uint8_t* reply);
    std::unexpected<Fault> Reject(std::string violation);

    mutable std::mutex mutex;
    NorFlash flash;
    FaultPlan faults;
    bool present = true;
    std::uint64_t commandsSeen = 0;
    std::uint8_t writeStatus = 0;
    std::uint32_t lastWriteAddress = 0;
    std::vector<LoggedCommand> log;
    std::vector<std::string> violations;
};

}  // namespace tarnwick
