#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "emulator/EmulatedProgrammer.h"
#include "emulator/gadget/ConfigFsGadget.h"
#include "emulator/gadget/DataPhase.h"
#include "emulator/gadget/FunctionFs.h"
#include "emulator/gadget/ScsiTarget.h"
#include "link/Fault.h"

namespace tarnwick::gadget {

struct GadgetSettings {
    std::string name = "tarnwick";
    std::string udc = "dummy_udc.0";
    std::string configfs = "/sys/kernel/config";
    std::string mountRoot = "/run/tarnwick-gadget";
    UsbIdentity usb;
    ScsiTarget::Identity scsi;
    std::uint32_t diskBlocks = 512;  // 256 KiB: enough for a host to read a partition table
};

// The emulated programmer served as a USB mass-storage device: configfs gadget, FunctionFS
// function, and two threads of its own, one answering ep0 (events and class requests), one
// running the Bulk-Only Transport and handing vendor commands to the programmer.
// Start, Plug, Unplug and Stop are called from one controlling thread. Every vendor command
// block the host sends is checked against the command tables; a violation is written to `log`
// at once and kept.
class ProgrammerGadget {
  public:
    ProgrammerGadget(EmulatedProgrammer& programmer, GadgetSettings settings, std::ostream& log);
    ~ProgrammerGadget();
    ProgrammerGadget(const ProgrammerGadget&) = delete;
    ProgrammerGadget& operator=(const ProgrammerGadget&) = delete;

    // Sets the gadget up, unplugged. Fails when the kernel lacks a piece.
    Result<void> Start();
    // Binds to or unbinds from the controller: the host sees a plug or an unplug. Either is a
    // no-op when the gadget is in that state already.
    Result<void> Plug();
    Result<void> Unplug();
    bool Plugged() const;
    // Unplugs and takes everything down. Safe to call twice.
    void Stop();

    // Readable (an eventfd) when the programmer fell off the bus on its own (its fault plan
    // dropped it): the controlling thread should then unplug the gadget.
    int GoneFd() const { return goneFd; }
    void AcknowledgeGone();

    std::vector<std::string> Violations() const;

    // One line on the log, kept whole among the gadget threads' lines.
    void Say(const std::string& line);

  private:
    void ControlLoop();
    void BulkLoop();
    void HandleSetup(const std::uint8_t* setup);
    void ResetBulkSide();
    // One command of the Bulk-Only Transport, from its CBW to its CSW.
    void ServeCommand(std::span<const std::uint8_t> wrapper);
    void RefuseWrapper(std::span<const std::uint8_t> wrapper, const Fault& why);
    void CheckAgainstTables(const CommandBlockWrapper& cbw);
    // Take the host's data-out, the command's then the rest; false when the host gave up.
    bool ReceiveData(std::span<std::uint8_t> into, std::uint64_t seen);
    bool DiscardData(std::uint32_t length, std::uint64_t seen);
    void LeaveUnanswered(const CommandBlockWrapper& cbw, Outcome outcome, std::uint64_t seen);
    void SendReply(const CommandBlockWrapper& cbw, const BulkReply& reply,
                   std::span<const std::uint8_t> dataIn, std::uint64_t seen);
    std::uint64_t CurrentGeneration() const;
    // Whether the connection a command came in on has ended since (`seen`): what is left of it
    // must not reach into the next one.
    bool Stale(std::uint64_t seen) const;
    bool WaitForNewGeneration(std::uint64_t seen);
    void Violation(const std::string& what);
    void InterruptUntil(const std::function<bool()>& done, pthread_t thread);

    EmulatedProgrammer& programmer;
    GadgetSettings settings;
    std::ostream& log;
    ScsiTarget target;
    std::unique_ptr<ConfigFsGadget> config;
    std::unique_ptr<FunctionFs> ffs;  // after `config`: unmounted before the gadget goes
    int goneFd = -1;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool enabled = false;              // the host configured the function
    std::uint64_t generation = 0;      // bumped by every disable, unbind and bulk-only reset
    std::uint64_t bulkGeneration = 0;  // the generation the bulk thread has caught up with
    bool stopping = false;
    std::vector<std::string> violations;

    std::thread control;
    std::thread bulk;
    // Written by Start before the threads that read them exist: bulkHandle (read by the control
    // thread) before the control thread starts, controlHandle (read only by the controlling
    // thread) after.
    pthread_t controlHandle{};
    pthread_t bulkHandle{};
    std::atomic<bool> controlRunning{false};
    std::atomic<bool> bulkRunning{false};
    std::mutex logMutex;
};

}  // namespace tarnwick::gadget
