// tarnwick-gadget: the emulated programmer served as a USB mass-storage device through
// FunctionFS, for end-to-end tests on a real kernel (dummy_hcd, usb-storage, sd, sg).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "emulator/EmulatorSetup.h"
#include "emulator/gadget/CommandLogFile.h"
#include "emulator/gadget/ProgrammerGadget.h"
#include "emulator/options/FaultFlags.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::gadget;

constexpr int kExitOk = 0;
constexpr int kExitSetup = 1;
constexpr int kExitViolations = 3;  // the host sent what the command tables do not allow

struct Options {
    GadgetSettings settings;
    EmulatorSetup emulator;  // its flash file is the flash the gadget keeps
    std::string commandLog;
    std::string control;
    bool unplugged = false;
};

// The command line; an exit status when the gadget should not run (help, a malformed option).
std::optional<int> ParseOptions(int argc, char** argv, Options& o) {
    CLI::App app{
        "tarnwick-gadget: the emulated VORTAN programmer as a USB mass-storage gadget "
        "(configfs + FunctionFS), bound to a USB device controller such as dummy_udc.0"};
    std::string vendor = o.settings.scsi.vendor;
    app.add_option("--name", o.settings.name, "Gadget and FunctionFS instance name")
        ->capture_default_str();
    app.add_option("--udc", o.settings.udc, "USB device controller to bind to")
        ->capture_default_str();
    app.add_option("--vendor", vendor,
                   "SCSI vendor identification, at most 8 bytes, padded with blanks "
                   "(a programmer's is \"VORTAN  \")");
    app.add_option("--product", o.settings.scsi.product, "SCSI product identification")
        ->capture_default_str();
    app.add_option("--serial", o.settings.usb.serial, "USB serial number");
    app.add_option("--flash", o.emulator.flashFile,
                   "Flash image: loaded at start when it exists, written on dump and at exit");
    app.add_option("--command-log", o.commandLog,
                   "Command log, one line per command received: written on dump and at exit");
    app.add_option("--control", o.control,
                   "FIFO (created when missing) taking lines: unplug, plug, dump, clear-log, quit; "
                   "each is acknowledged with 'control: COMMAND done' on standard output");
    app.add_flag("--unplugged", o.unplugged, "Start unplugged; plug in with the control FIFO");
    AddFaultOptions(app, o.emulator.faults);
    app.footer(
        "Exit status: 0, 1 when the gadget could not be set up, 3 when the host sent a vendor "
        "command that breaks the command tables (each is also reported as a VIOLATION line).");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitOk : kExitSetup;
    }
    if (vendor.size() > 8) {
        std::cerr << "tarnwick-gadget: --vendor takes at most 8 bytes\n";
        return kExitSetup;
    }
    vendor.resize(8, ' ');
    o.settings.scsi.vendor = vendor;
    if (o.settings.usb.serial.empty()) {
        o.settings.usb.serial = "TW-" + o.settings.name;
    }
    return std::nullopt;
}

// Termination arrives through a descriptor; the gadget's threads inherit the mask, so the
// signals reach only the main loop.
int BlockStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return signalfd(-1, &stopSignals, SFD_CLOEXEC);
}

// The control FIFO, created when missing; -1 when none was asked for.
Result<int> OpenControlFifo(const std::string& path) {
    if (path.empty()) {
        return -1;
    }
    if (::mkfifo(path.c_str(), 0600) != 0 && errno != EEXIST) {
        return Fail(Fault::Because(std::strerror(errno), errno).Within("cannot create " + path));
    }
    // Read-write, so the FIFO never reports end-of-file between two writers.
    const int fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fifo < 0) {
        return Fail(Fault::Because(std::strerror(errno), errno).Within("cannot open " + path));
    }
    return fifo;
}

// The flash and the command log, as they are now.
Result<void> Dump(const EmulatedProgrammer& programmer, const ProgrammerGadget& gadget,
                  const Options& o) {
    if (Result<void> kept = KeepFlash(o.emulator, programmer); !kept) {
        return kept;
    }
    if (o.commandLog.empty()) {
        return {};
    }
    return WriteCommandLog(o.commandLog, programmer.Log(), gadget.Violations());
}

// Runs one control command; false when the gadget should end.
bool Control(const std::string& command, EmulatedProgrammer& programmer, ProgrammerGadget& gadget,
             const Options& o) {
    Result<void> done;
    if (command == "unplug") {
        done = gadget.Unplug();
    } else if (command == "plug" || command == "replug") {
        done = gadget.Plug();
    } else if (command == "dump") {
        done = Dump(programmer, gadget, o);
    } else if (command == "clear-log") {
        programmer.ClearLog();
    } else if (command != "quit") {
        done = Fail("unknown command (unplug, plug, dump, clear-log, quit)");
    }
    // Tests wait for this line before they look at the effect.
    gadget.Say("control: " + command + (done ? " done" : " failed: " + done.error().Describe()));
    return command != "quit";
}

// Runs the control commands of every whole line read from the FIFO; false once one says quit.
bool FollowControl(int fifo, std::string& pending, EmulatedProgrammer& programmer,
                   ProgrammerGadget& gadget, const Options& o) {
    char buffer[256];
    const ssize_t n = ::read(fifo, buffer, sizeof buffer);
    if (n > 0) {
        pending.append(buffer, static_cast<std::size_t>(n));
    }
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!line.empty() && !Control(line, programmer, gadget, o)) {
            return false;
        }
    }
    return true;
}

// Until a stop signal or a quit: follows the control FIFO, and unplugs the gadget when its
// programmer fell off the bus.
void Serve(int signals, int fifo, EmulatedProgrammer& programmer, ProgrammerGadget& gadget,
           const Options& o) {
    std::string pending;
    for (;;) {
        pollfd fds[3] = {{signals, POLLIN, 0}, {gadget.GoneFd(), POLLIN, 0}, {fifo, POLLIN, 0}};
        if (::poll(fds, fifo >= 0 ? 3 : 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            gadget.AcknowledgeGone();
            if (const Result<void> unplugged = gadget.Unplug(); !unplugged) {
                gadget.Say(unplugged.error().Describe());
            }
        }
        if (fifo >= 0 && (fds[2].revents & POLLIN) != 0 &&
            !FollowControl(fifo, pending, programmer, gadget, o)) {
            return;
        }
    }
}

// The last dump and the exit status: violations of the command tables count above a failed
// dump.
int Finish(const EmulatedProgrammer& programmer, const ProgrammerGadget& gadget, const Options& o) {
    int status = kExitOk;
    if (const Result<void> dumped = Dump(programmer, gadget, o); !dumped) {
        std::cerr << "tarnwick-gadget: " << dumped.error().Describe() << '\n';
        status = kExitSetup;
    }
    if (const auto violations = gadget.Violations(); !violations.empty()) {
        std::cerr << "tarnwick-gadget: the host broke the command tables " << violations.size()
                  << " time(s)\n";
        status = kExitViolations;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const std::optional<int> status = ParseOptions(argc, argv, o)) {
        return *status;
    }
    const Result<std::shared_ptr<EmulatedProgrammer>> built = BuildEmulatedProgrammer(o.emulator);
    if (!built) {
        std::cerr << "tarnwick-gadget: " << built.error().Describe() << '\n';
        return kExitSetup;
    }
    EmulatedProgrammer& programmer = **built;
    const int signals = BlockStopSignals();
    const Result<int> fifo = OpenControlFifo(o.control);
    if (!fifo) {
        std::cerr << "tarnwick-gadget: " << fifo.error().Describe() << '\n';
        return kExitSetup;
    }

    ProgrammerGadget gadget(programmer, o.settings, std::cout);
    Result<void> started = gadget.Start();
    if (started && !o.unplugged) {
        started = gadget.Plug();
    }
    if (!started) {
        std::cerr << "tarnwick-gadget: " << started.error().Describe() << '\n';
        return kExitSetup;
    }
    gadget.Say("ready (vendor \"" + o.settings.scsi.vendor + "\", " +
               std::to_string(o.emulator.faults.flashSize) + " bytes of flash)");
    Serve(signals, *fifo, programmer, gadget, o);
    gadget.Stop();
    const int status = Finish(programmer, gadget, o);
    if (*fifo >= 0) {
        ::close(*fifo);
    }
    return status;
}
