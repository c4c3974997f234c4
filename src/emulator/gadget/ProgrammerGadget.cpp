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

bool ProgrammerGadget::Start(std::string* error) {
    InstallInterruptHandler();
    config = ConfigFsGadget::Create(settings.configfs, settings.name, settings.usb, error);
    if (!config) {
        return false;
    }
    ffs = FunctionFs::Open(config->FunctionInstance(), settings.mountRoot + "/" + settings.name,
                           error);
    if (!ffs) {
        config.reset();
        return false;
    }
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
    return true;
}

bool ProgrammerGadget::Plug(std::string* error) {
    if (config->Bound()) {
        return true;
    }
    if (!config->Bind(settings.udc, error)) {
        return false;
    }
    std::lock_guard lock(logMutex);
    log << "tarnwick-gadget: plugged into " << settings.udc << std::endl;
    return true;
}

bool ProgrammerGadget::Unplug(std::string* error) {
    // Already out when the programmer fell off the bus by itself.
    if (!config->Bound()) {
        return true;
    }
    if (!config->Unbind(error)) {
        return false;
    }
    // A programmer that fell off the bus comes back whole when it is plugged in again.
    programmer.SetPresent(true);
    std::lock_guard lock(logMutex);
    log << "tarnwick-gadget: unplugged" << std::endl;
    return true;
}

bool ProgrammerGadget::Plugged() const {
    return config && config->Bound();
}

void ProgrammerGadget::Stop() {
    if (!config) {
        return;
    }
    if (config->Bound()) {
        std::string ignored;
        config->Unbind(&ignored);
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
        const long n = ffs->ReadOut(wrapper);
        if (n < 0) {
            if (n != -EINTR) {
                // The host went away or reset the port: wait for the state to change rather
                // than spin on a disabled endpoint.
                std::unique_lock lock(mutex);
                changed.wait_for(lock, 50ms, [&] { return stopping || generation != seen; });
            }
            continue;
        }
        ServeCommand(std::span<const std::uint8_t>(wrapper.data(), static_cast<std::size_t>(n)));
    }
}

void ProgrammerGadget::ServeCommand(std::span<const std::uint8_t> bytes) {
    std::uint64_t seen = 0;
    {
        std::lock_guard lock(mutex);
        seen = generation;
    }
    // A command of a connection that has ended since must not reach into the next one.
    auto stale = [&] {
        std::lock_guard lock(mutex);
        return generation != seen || stopping;
    };
    std::string why;
    const std::optional<CommandBlockWrapper> parsed = ParseCbw(bytes, &why);
    if (!parsed) {
        // Reset recovery is the host's way out of this.
        Violation("invalid CBW (" + why +
                  "): " + Hex(bytes.first(std::min<std::size_t>(bytes.size(), 31))));
        ffs->StallIn();
        ffs->StallOut();
        return;
    }
    const CommandBlockWrapper& cbw = *parsed;
    if (ScsiTarget::IsVendorCommand(cbw.cb[0])) {
        if (std::string problem = CheckVendorCommand(cbw); !problem.empty()) {
            Violation(problem + "; command block " + Hex(cbw.cb));
        }
    }

    const DataPhasePlan plan = PlanDataPhase(cbw, target.IntentFor(cbw));
    auto readFully = [&](std::vector<std::uint8_t>& into) {
        std::size_t done = 0;
        while (done < into.size()) {
            if (stale()) {
                return false;
            }
            const long n = ffs->ReadOut(std::span(into).subspan(done));
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    };
    std::vector<std::uint8_t> data(plan.receive);
    if (!readFully(data)) {
        return;  // the host gave up on this command
    }
    // What is not wanted is read in pieces: the host's length alone never decides how much
    // memory this takes.
    std::vector<std::uint8_t> scrap(std::min<std::uint32_t>(plan.discard, 0x10000));
    for (std::uint32_t left = plan.discard; left > 0;) {
        scrap.resize(std::min<std::size_t>(left, scrap.size()));
        if (!readFully(scrap)) {
            return;
        }
        left -= static_cast<std::uint32_t>(scrap.size());
    }
    CommandResult result;
    if (!plan.phaseError) {
        result = target.Execute(cbw, data);
    }

    if (result.outcome == Outcome::NoAnswer) {
        {
            std::lock_guard lock(logMutex);
            log << "tarnwick-gadget: leaving command " << Hex(std::span(cbw.cb).first(2))
                << " unanswered" << std::endl;
        }
        WaitForNewGeneration(seen);  // until the host resets or the gadget is unplugged
        return;
    }
    if (result.outcome == Outcome::DeviceGone) {
        {
            std::lock_guard lock(logMutex);
            log << "tarnwick-gadget: the programmer fell off the bus" << std::endl;
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(goneFd, &one, sizeof one);
        WaitForNewGeneration(seen);
        return;
    }
    const std::uint16_t maxPacket =
        cbw.HostDirection() == Direction::In ? ffs->MaxPacketIn() : std::uint16_t{0};
    const BulkReply reply = PlanReply(cbw, plan, result.outcome, result.dataIn.size(), maxPacket);
    if (stale()) {
        return;
    }
    if (reply.send > 0) {
        const long n = ffs->WriteIn(std::span<const std::uint8_t>(result.dataIn).first(reply.send));
        if (n != static_cast<long>(reply.send)) {
            return;  // the host gave up on this command
        }
    }
    if (reply.haltIn) {
        ffs->StallIn();
    }
    if (stale()) {
        return;
    }
    const auto csw = EncodeCsw(cbw.tag, reply.residue, reply.status);
    ffs->WriteIn(csw);
}

}  // namespace tarnwick::gadget
