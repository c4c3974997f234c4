#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/DeviceChangeSource.h"
#include "link/DriveProvider.h"
#include "link/PassThrough.h"
#include "link/ProgrammerLink.h"
#include "link/ProgrammerPresence.h"

namespace tarnwick {

// The SCSI vendor identification of the programmer: six capitals and two blanks, exactly.
inline constexpr std::string_view kProgrammerVendor{"VORTAN  "};
inline constexpr std::int8_t kLastDriveNumber = 126;

enum class ProbeVerdict {
    Programmer,      // opened, on USB, vendor matches
    Skipped,         // not probed: it was the current drive number at that moment
    NoSuchDrive,     // nothing under this number
    CannotOpen,      // exists but could not be opened for reading and writing
    CannotIdentify,  // opened, but its identification could not be read
    NotUsb,          // not attached through USB
    OtherVendor,     // on USB, but another (or no) vendor identification
};

// Why one drive number was or was not taken for the programmer.
struct ProbeReport {
    std::int8_t drive = 0;
    std::string driveName;  // the platform's name of the drive, e.g. "/dev/sg2"; empty for 0
    bool recheck = false;   // the scan's re-check of the current programmer, not its search
    ProbeVerdict verdict = ProbeVerdict::NoSuchDrive;
    StorageIdentity identity;  // as read, when the drive was identified
    std::string error;         // the platform's reason for CannotOpen and CannotIdentify

    // One line for a person, e.g. "drive 3 (/dev/sg2): on USB, vendor \"vortan  \" is not ...".
    std::string Describe() const;
};

// Every drive a scan looked at, in the order it looked (the re-check first).
struct ScanReport {
    std::vector<ProbeReport> probes;
};

// Finds the programmer among the drives, keeps ProgrammerLink pointing at it and tells the
// front end whether there is one. Runs on the display's thread only (start-up and device-change
// notifications); a scan blocks that thread for up to 128 opens. Nothing here throws or fails: a
// drive that cannot be used is simply not the programmer, and the optional reports say why.
class ProgrammerDiscovery {
  public:
    ProgrammerDiscovery(ProgrammerLink& link, DriveProvider& drives, PresenceObserver observer);

    // Opens drive n and returns it when it is the programmer (the caller then owns it);
    // otherwise closes it again and returns nullptr.
    std::unique_ptr<PassThrough> ProbeDrive(std::int8_t drive, ProbeReport* report = nullptr);

    // Re-checks the current programmer, then searches drives 0..126 (skipping the current
    // drive number); the last match becomes current. The device of a programmer that has gone
    // is dropped from the link; it closes when a job still using it lets go of it too. A
    // re-check that finds the programmer under its drive number but on another USB device (it
    // was unplugged and plugged in again between two scans) puts the newly opened device in the
    // link instead of the old, dead one.
    void FindProgrammer(ScanReport* report = nullptr);

    // The link's programmer, or none.
    ProgrammerPresence Presence() const;
    // Tells the presence observer the link's presence.
    void ReportPresence();

    // What start-up and every device change do: FindProgrammer, then ReportPresence.
    void Rescan();

    // Dispatches all of the source's pending notifications (`observer`, when given, sees each),
    // then runs one Rescan when there was any: a burst of changes, such as a hub with several
    // devices plugged in, is one scan. Returns how many notifications there were.
    std::size_t FollowDeviceChanges(DeviceChangeSource& source,
                                    const DeviceChangeHandler& observer = {});

    // The identification rule alone: on USB, and the vendor exactly kProgrammerVendor.
    static ProbeVerdict JudgeIdentity(const StorageIdentity& identity);

  private:
    ProgrammerLink& link;
    DriveProvider& drives;
    PresenceObserver presenceObserver;
};

}  // namespace tarnwick
