#include "emulator/gadget/ProgrammerGadget.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "emulator/gadget/BulkOnly.h"
#include "emulator/gadget/DataPhase.h"
#include "emulator/gadget/VendorCheck.h"

namespace tarnwick::gadget {

namespace {

using namespace std::chrono_literals;

// Delivered to a thread only to make its blocking FunctionFS call return with EINTR (the
// kernel then withdraws the request); there is nothing to do in the handler itself.
void OnInterrupt(int) {}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the call must come back
    sigaction(SIGUSR1, &action, nullptr);
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (const std::uint8_t b : bytes) {
        char text[4];
        std::snprintf(text, sizeof text, "%02x", b);
        if (!out.empty()) {
            out += ' ';
        }
        out += text;
    }
    return out;
}

}  // namespace

ProgrammerGadget::ProgrammerGadget(EmulatedProgrammer& programmer_, GadgetSettings settings_,
                                   std::ostream& log_)
    : programmer(programmer_),
      settings(std::move(settings_)),
      log(log_),
      target(programmer_, settings.scsi, settings.diskBlocks) {}

ProgrammerGadget::~ProgrammerGadget() {
    Stop();
}

Result<void> ProgrammerGadget::Start() {
    InstallInterruptHandler();
    Result<std::unique_ptr<ConfigFsGadget>> created =
        ConfigFsGadget::Create(settings.configfs, settings.name, settings.usb);
    if (!created) {
        return Fail(std::move(created.error()));
    }
    config = std::move(*created);
    Result<std::unique_ptr<FunctionFs>> opened =
        FunctionFs::Open(config->FunctionInstance(), settings.mountRoot + "/" + settings.name);
    if (!opened) {
        config.reset();
        return Fail(std::move(opened.error()));
    }
    ffs = std::move(*opened);
    goneFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    controlRunning = true;
    bulkRunning = true;
    bulk = std::thread([this] {
        BulkLoop();
        bulkRunning = false;
    });
    // The control thread interrupts the bulk thread on a reset: its handle is stored before
    // the control thread starts, which makes it visible there without a lock.
    bulkHandle = bulk.native_handle();
    control = std::thread([this] {
        ControlLoop();
        controlRunning = false;
    });
    controlHandle = control.native_handle();
    return {};
}

Result<void> ProgrammerGadget::Plug() {
    if (config->Bound()) {
        return {};
    }
    if (Result<void> bound = config->Bind(settings.udc); !bound) {
        return bound;
    }
    Say("plugged into " + settings.udc);
    return {};
}

Result<void> ProgrammerGadget::Unplug() {
    // Already out when the programmer fell off the bus by itself.
    if (!config->Bound()) {
        return {};
    }
    if (Result<void> unbound = config->Unbind(); !unbound) {
        return unbound;
    }
    // A programmer that fell off the bus comes back whole when it is plugged in again.
    programmer.SetPresent(true);
    Say("unplugged");
    return {};
}

bool ProgrammerGadget::Plugged() const {
    return config && config->Bound();
}

void ProgrammerGadget::Stop() {
    if (!config) {
        return;
    }
    if (config->Bound()) {
        // Going away regardless: a controller that keeps it is cleaned up with the gadget.
        [[maybe_unused]] const Result<void> unbound = config->Unbind();
    }
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    InterruptUntil([this] { return !bulkRunning; }, bulkHandle);
    bulk.join();
    InterruptUntil([this] { return !controlRunning; }, controlHandle);
    control.join();
    ffs.reset();
    config.reset();
    ::close(goneFd);
    goneFd = -1;
}

void ProgrammerGadget::AcknowledgeGone() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(goneFd, &count, sizeof count);
}

std::vector<std::string> ProgrammerGadget::Violations() const {
    std::lock_guard lock(mutex);
    return violations;
}

void ProgrammerGadget::Say(const std::string& line) {
    std::lock_guard lock(logMutex);
    log << "tarnwick-gadget: " << line << std::endl;
}

void ProgrammerGadget::Violation(const std::string& what) {
    {
        std::lock_guard lock(mutex);
        violations.push_back(what);
    }
    std::lock_guard lock(logMutex);
    log << "tarnwick-gadget: VIOLATION: " << what << std::endl;
    std::cerr << "tarnwick-gadget: VIOLATION: " << what << std::endl;
}

// A signal can land just before the thread enters its blocking call and be lost, so it is
// sent again until the thread shows it got there; bounded, in case the kernel never lets go.
void ProgrammerGadget::InterruptUntil(const std::function<bool()>& done, pthread_t thread) {
    for (int i = 0; i < 400 && !done(); ++i) {
        pthread_kill(thread, SIGUSR1);
        std::unique_lock lock(mutex);
        changed.wait_for(lock, 5ms);
    }
}

void ProgrammerGadget::ControlLoop() {
    usb_functionfs_event events[8];
    for (;;) {
        const ssize_t n = ::read(ffs->Ep0(), events, sizeof events);
        if (n < 0) {
            const int error = errno;
            std::unique_lock lock(mutex);
            if (stopping) {
                return;
            }
            if (error != EINTR && error != EIDRM) {
                // Not expected while the function lives; wait a little rather than spin.
                changed.wait_for(lock, 50ms);
            }
            continue;
        }
        const std::size_t count = static_cast<std::size_t>(n) / sizeof(usb_functionfs_event);
        for (std::size_t i = 0; i < count; ++i) {
            const usb_functionfs_event& event = events[i];
            switch (event.type) {
                case FUNCTIONFS_ENABLE: {
                    std::lock_guard lock(mutex);
                    enabled = true;
                    break;
                }
                case FUNCTIONFS_DISABLE:
                case FUNCTIONFS_UNBIND: {
                    std::lock_guard lock(mutex);
                    enabled = false;
                    ++generation;
                    break;
                }
                case FUNCTIONFS_SETUP:
                    HandleSetup(reinterpret_cast<const std::uint8_t*>(&event.u.setup));
                    break;
                default:
                    break;  // bind, suspend, resume: nothing to do
            }
            changed.notify_all();
        }
    }
}

void ProgrammerGadget::HandleSetup(const std::uint8_t* raw) {
    usb_ctrlrequest setup{};
    std::memcpy(&setup, raw, sizeof setup);
    const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
    const bool classInterface = (setup.bRequestType & USB_TYPE_MASK) == USB_TYPE_CLASS &&
                                (setup.bRequestType & USB_RECIP_MASK) == USB_RECIP_INTERFACE;
    std::uint8_t byte = 0;
    if (classInterface && setup.bRequest == kRequestBulkOnlyReset && !in && setup.wLength == 0) {
        ResetBulkSide();
        [[maybe_unused]] const ssize_t n = ::read(ffs->Ep0(), &byte, 0);  // status stage
        std::lock_guard lock(logMutex);
        log << "tarnwick-gadget: bulk-only mass storage reset" << std::endl;
        return;
    }
    if (classInterface && setup.bRequest == kRequestGetMaxLun && in && setup.wLength >= 1) {
        [[maybe_unused]] const ssize_t n = ::write(ffs->Ep0(), &byte, 1);  // one LUN: 0
        return;
    }
    // Anything else is not ours to answer: stall it (FunctionFS stalls ep0 when the data stage
    // is used against its direction).
    if (in) {
        [[maybe_unused]] const ssize_t n = ::read(ffs->Ep0(), &byte, 0);
    } else {
        [[maybe_unused]] const ssize_t n = ::write(ffs->Ep0(), &byte, 0);
    }
}

// The reset abandons whatever command the bulk side was in: it must be back at waiting for a
// CBW before the host is told the reset is done.
void ProgrammerGadget::ResetBulkSide() {
    {
        std::lock_guard lock(mutex);
        ++generation;
    }
    changed.notify_all();
    InterruptUntil(
        [this] {
            std::lock_guard lock(mutex);
            return bulkGeneration == generation || stopping;
        },
        bulkHandle);
}

bool ProgrammerGadget::WaitForNewGeneration(std::uint64_t seen) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return stopping || generation != seen; });
    return !stopping;
}

void ProgrammerGadget::BulkLoop() {
    std::vector<std::uint8_t> wrapper(512);
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::unique_lock lock(mutex);
            bulkGeneration = generation;
            changed.notify_all();
            changed.wait(lock, [this] { return stopping || enabled; });
            if (stopping) {
                return;
            }
            bulkGeneration = seen = generation;
            changed.notify_all();
        }
        const Result<std::size_t> n = ffs->ReadOut(wrapper);
        if (!n) {
            if (n.error().sysErrno != EINTR) {
                // The host went away or reset the port: wait for the state to change rather
                // than spin on a disabled endpoint.
                std::unique_lock lock(mutex);
                changed.wait_for(lock, 50ms, [&] { return stopping || generation != seen; });
            }
            continue;
        }
        ServeCommand(std::span<const std::uint8_t>(wrapper).first(*n));
    }
}

std::uint64_t ProgrammerGadget::CurrentGeneration() const {
    std::lock_guard lock(mutex);
    return generation;
}

bool ProgrammerGadget::Stale(std::uint64_t seen) const {
    std::lock_guard lock(mutex);
    return generation != seen || stopping;
}

void ProgrammerGadget::ServeCommand(std::span<const std::uint8_t> wrapper) {
    const std::uint64_t seen = CurrentGeneration();
    const Result<CommandBlockWrapper> parsed = ParseCbw(wrapper);
    if (!parsed) {
        RefuseWrapper(wrapper, parsed.error());
        return;
    }
    const CommandBlockWrapper& cbw = *parsed;
    CheckAgainstTables(cbw);
    const Phase host = Announced(cbw);
    const DataPhasePlan plan = PlanDataPhase(host, target.IntentFor(cbw));
    std::vector<std::uint8_t> data(plan.receive);
    if (!ReceiveData(data, seen) || !DiscardData(plan.discard, seen)) {
        return;  // the host gave up on this command
    }
    const CommandResult result = plan.phaseError ? CommandResult{} : target.Execute(cbw, data);
    const std::uint16_t maxPacket =
        host.direction == Direction::In ? ffs->MaxPacketIn() : std::uint16_t{0};
    const BulkReply reply = PlanReply(host, plan, result.outcome, result.dataIn.size(), maxPacket);
    if (!reply.answered) {
        LeaveUnanswered(cbw, result.outcome, seen);
        return;
    }
    SendReply(cbw, reply, result.dataIn, seen);
}

void ProgrammerGadget::RefuseWrapper(std::span<const std::uint8_t> wrapper, const Fault& why) {
    // Reset recovery is the host's way out of this.
    Violation("invalid CBW (" + why.Describe() +
              "): " + Hex(wrapper.first(std::min<std::size_t>(wrapper.size(), kCbwSize))));
    ffs->StallIn();
    ffs->StallOut();
}

void ProgrammerGadget::CheckAgainstTables(const CommandBlockWrapper& cbw) {
    if (!ScsiTarget::IsVendorCommand(cbw.cb[0])) {
        return;
    }
    if (const Result<void> checked = CheckVendorCommand(cbw); !checked) {
        Violation(checked.error().Describe() + "; command block " + Hex(cbw.cb));
    }
}

bool ProgrammerGadget::ReceiveData(std::span<std::uint8_t> into, std::uint64_t seen) {
    std::size_t done = 0;
    while (done < into.size()) {
        if (Stale(seen)) {
            return false;
        }
        const Result<std::size_t> n = ffs->ReadOut(into.subspan(done));
        if (!n || *n == 0) {
            return false;
        }
        done += *n;
    }
    return true;
}

bool ProgrammerGadget::DiscardData(std::uint32_t length, std::uint64_t seen) {
    // Read in pieces: the host's length alone never decides how much memory this takes.
    std::vector<std::uint8_t> scrap(std::min<std::uint32_t>(length, 0x10000));
    for (std::uint32_t left = length; left > 0;) {
        scrap.resize(std::min<std::size_t>(left, scrap.size()));
        if (!ReceiveData(scrap, seen)) {
            return false;
        }
        left -= static_cast<std::uint32_t>(scrap.size());
    }
    return true;
}

void ProgrammerGadget::LeaveUnanswered(const CommandBlockWrapper& cbw, Outcome outcome,
                                       std::uint64_t seen) {
    if (outcome == Outcome::DeviceGone) {
        Say("the programmer fell off the bus");
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(goneFd, &one, sizeof one);
    } else {
        Say("leaving command " + Hex(std::span(cbw.cb).first(2)) + " unanswered");
    }
    WaitForNewGeneration(seen);  // until the host resets or the gadget is unplugged
}

void ProgrammerGadget::SendReply(const CommandBlockWrapper& cbw, const BulkReply& reply,
                                 std::span<const std::uint8_t> dataIn, std::uint64_t seen) {
    if (Stale(seen)) {
        return;
    }
    if (reply.send > 0) {
        const Result<std::size_t> n = ffs->WriteIn(dataIn.first(reply.send));
        if (!n || *n != reply.send) {
            return;  // the host gave up on this command
        }
    }
    if (reply.haltIn) {
        ffs->StallIn();
    }
    if (Stale(seen)) {
        return;
    }
    [[maybe_unused]] const Result<std::size_t> sent =
        ffs->WriteIn(EncodeCsw(cbw.tag, reply.residue, reply.status));
}

}  // namespace tarnwick::gadget
