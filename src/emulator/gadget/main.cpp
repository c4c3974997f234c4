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
#include <filesystem>
#include <iostream>
#include <string>

#include "emulator/EmulatedProgrammer.h"
#include "emulator/FaultOptions.h"
#include "emulator/gadget/CommandLogFile.h"
#include "emulator/gadget/ProgrammerGadget.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::gadget;

constexpr int kExitOk = 0;
constexpr int kExitSetup = 1;
constexpr int kExitViolations = 3;  // the host sent what the command tables do not allow

struct Files {
    std::string flash;
    std::string commandLog;
};

std::string Dump(const EmulatedProgrammer& programmer, const ProgrammerGadget& gadget,
                 const Files& files) {
    std::string error;
    if (!files.flash.empty()) {
        error = programmer.SaveFlash(files.flash);  // written beside it and renamed over
    }
    if (error.empty() && !files.commandLog.empty()) {
        error = WriteCommandLog(files.commandLog, programmer.Log(), gadget.Violations());
    }
    return error;
}

// Runs one control command; false when the gadget should end.
bool Control(const std::string& command, EmulatedProgrammer& programmer, ProgrammerGadget& gadget,
             const Files& files) {
    std::string error;
    bool ok = true;
    bool goOn = true;
    if (command == "unplug") {
        ok = gadget.Unplug(&error);
    } else if (command == "plug" || command == "replug") {
        ok = gadget.Plug(&error);
    } else if (command == "dump") {
        error = Dump(programmer, gadget, files);
        ok = error.empty();
    } else if (command == "clear-log") {
        programmer.ClearLog();
    } else if (command == "quit") {
        goOn = false;
    } else {
        ok = false;
        error = "unknown command (unplug, plug, dump, clear-log, quit)";
    }
    // Tests wait for this line before they look at the effect.
    gadget.Say("control: " + command + (ok ? " done" : " failed: " + error));
    return goOn;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "tarnwick-gadget: the emulated VORTAN programmer as a USB mass-storage gadget "
        "(configfs + FunctionFS), bound to a USB device controller such as dummy_udc.0"};
    GadgetSettings settings;
    FaultOptions faults;
    Files files;
    std::string control;
    std::string vendor = settings.scsi.vendor;
    bool unplugged = false;
    app.add_option("--name", settings.name, "Gadget and FunctionFS instance name")
        ->capture_default_str();
    app.add_option("--udc", settings.udc, "USB device controller to bind to")
        ->capture_default_str();
    app.add_option("--vendor", vendor,
                   "SCSI vendor identification, at most 8 bytes, padded with blanks "
                   "(a programmer's is \"VORTAN  \")");
    app.add_option("--product", settings.scsi.product, "SCSI product identification")
        ->capture_default_str();
    app.add_option("--serial", settings.usb.serial, "USB serial number");
    app.add_option("--flash", files.flash,
                   "Flash image: loaded at start when it exists, written on dump and at exit");
    app.add_option("--command-log", files.commandLog,
                   "Command log, one line per command received: written on dump and at exit");
    app.add_option("--control", control,
                   "FIFO (created when missing) taking lines: unplug, plug, dump, clear-log, quit; "
                   "each is acknowledged with 'control: COMMAND done' on standard output");
    app.add_flag("--unplugged", unplugged, "Start unplugged; plug in with the control FIFO");
    AddFaultOptions(app, faults);
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
    settings.scsi.vendor = vendor;
    if (settings.usb.serial.empty()) {
        settings.usb.serial = "TW-" + settings.name;
    }
    if (!ValidFlashSize(faults.flashSize)) {
        std::cerr << "tarnwick-gadget: --emulate-size must be a non-zero multiple of 64 KiB, "
                     "at most 4 GiB\n";
        return kExitSetup;
    }
    std::string error;
    const std::optional<FaultPlan> plan = MakeFaultPlan(faults, &error);
    if (!plan) {
        std::cerr << "tarnwick-gadget: " << error << '\n';
        return kExitSetup;
    }
    EmulatedProgrammer programmer(static_cast<std::size_t>(faults.flashSize));
    programmer.SetFaults(*plan);
    std::error_code ec;
    if (!files.flash.empty() && std::filesystem::exists(files.flash, ec)) {
        if (error = programmer.LoadFlash(files.flash); !error.empty()) {
            std::cerr << "tarnwick-gadget: " << error << '\n';
            return kExitSetup;
        }
    }

    // Termination arrives through a descriptor; the gadget's threads inherit the mask, so the
    // signals reach only this loop.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC);

    int fifo = -1;
    if (!control.empty()) {
        if (::mkfifo(control.c_str(), 0600) != 0 && errno != EEXIST) {
            std::cerr << "tarnwick-gadget: cannot create " << control << ": "
                      << std::strerror(errno) << '\n';
            return kExitSetup;
        }
        // Read-write, so the FIFO never reports end-of-file between two writers.
        fifo = ::open(control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fifo < 0) {
            std::cerr << "tarnwick-gadget: cannot open " << control << ": " << std::strerror(errno)
                      << '\n';
            return kExitSetup;
        }
    }

    ProgrammerGadget gadget(programmer, settings, std::cout);
    if (!gadget.Start(&error) || (!unplugged && !gadget.Plug(&error))) {
        std::cerr << "tarnwick-gadget: " << error << '\n';
        return kExitSetup;
    }
    gadget.Say("ready (vendor \"" + settings.scsi.vendor + "\", " +
               std::to_string(faults.flashSize) + " bytes of flash)");

    std::string pending;
    bool running = true;
    while (running) {
        pollfd fds[3] = {{signals, POLLIN, 0}, {gadget.GoneFd(), POLLIN, 0}, {fifo, POLLIN, 0}};
        if (::poll(fds, fifo >= 0 ? 3 : 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            gadget.AcknowledgeGone();
            if (!gadget.Unplug(&error)) {
                gadget.Say(error);
            }
        }
        if (fifo >= 0 && (fds[2].revents & POLLIN) != 0) {
            char buffer[256];
            const ssize_t n = ::read(fifo, buffer, sizeof buffer);
            if (n > 0) {
                pending.append(buffer, static_cast<std::size_t>(n));
            }
            for (auto end = pending.find('\n'); running && end != std::string::npos;
                 end = pending.find('\n')) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty()) {
                    running = Control(line, programmer, gadget, files);
                }
            }
        }
    }

    gadget.Stop();
    int status = kExitOk;
    if (error = Dump(programmer, gadget, files); !error.empty()) {
        std::cerr << "tarnwick-gadget: " << error << '\n';
        status = kExitSetup;
    }
    if (const auto violations = gadget.Violations(); !violations.empty()) {
        std::cerr << "tarnwick-gadget: the host broke the command tables " << violations.size()
                  << " time(s)\n";
        status = kExitViolations;
    }
    if (fifo >= 0) {
        ::close(fifo);
    }
    return status;
}
