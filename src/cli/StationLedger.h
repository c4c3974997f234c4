#pragma once

#include <optional>
#include <string>
#include <vector>

#include "link/ProgrammerPresence.h"

namespace tarnwick::cli {

// What a station has seen and done, port by port: which plugged-in programmers are still to be
// written, and the totals. Bookkeeping only; the station does the scanning and the jobs.
class StationLedger {
  public:
    struct Changes {
        std::vector<FoundProgrammer> toWrite;  // plugged in since the last look
        std::vector<std::string> unplugged;    // ports whose programmer has gone
    };
    // Takes a scan's programmers. Each plug is written once: it is handed out the first time
    // a scan shows it, and again only after a scan has not shown it (unplugged; plugging in
    // again also gives it a new USB device number). A plug whose port still has a job running
    // waits for the next look.
    Changes Look(const std::vector<FoundProgrammer>& present);
    // The job on `programmer` has ended; its port takes the next plug.
    void Ended(const FoundProgrammer& programmer, bool written);
    // A plug handed out but not written (it could not be opened): the next look hands it out
    // again.
    void Release(const FoundProgrammer& programmer);

    struct PortTotals {
        std::string port;
        int written = 0;
        int failed = 0;
    };
    // Per port, in the order their first programmer was written.
    const std::vector<PortTotals>& Ports() const { return ports; }
    int Written() const;
    int Failed() const;

  private:
    struct Plug {
        std::string port;
        std::string driveName;
        std::optional<UsbDeviceAddress> usbDevice;
        bool busy = true;  // its job runs
        bool operator==(const FoundProgrammer& p) const {
            return port == PortOf(p) && driveName == p.driveName && usbDevice == p.usbDevice;
        }
    };
    static std::string PortOf(const FoundProgrammer& programmer);
    PortTotals& TotalsOf(const std::string& port);

    std::vector<Plug> taken;  // written or being written, and not seen gone since
    std::vector<PortTotals> ports;
};

}  // namespace tarnwick::cli
