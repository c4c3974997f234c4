#include "link/ProgrammerDiscovery.h"

#include <utility>

namespace tarnwick {

namespace {

std::string Quoted(const std::optional<std::string>& vendor) {
    return vendor ? "\"" + *vendor + "\"" : std::string("none");
}

}  // namespace

std::string ProbeReport::Describe() const {
    std::string text = "drive " + std::to_string(drive);
    if (!driveName.empty()) {
        text += " (" + driveName + ")";
    }
    text += recheck ? ", re-check: " : ": ";
    switch (verdict) {
        case ProbeVerdict::Programmer:
            return text + "programmer";
        case ProbeVerdict::Skipped:
            // Drive number 0 also means "none", so a search that starts without a programmer
            // passes drive 0 over.
            return text + (drive == 0 ? "not probed, drive 0 is searched only while another "
                                        "programmer is current"
                                      : "skipped, it is the current programmer");
        case ProbeVerdict::NoSuchDrive:
            return text + "no such drive";
        case ProbeVerdict::CannotOpen:
            return text + "cannot open: " + error;
        case ProbeVerdict::CannotIdentify:
            return text + "cannot identify: " + error;
        case ProbeVerdict::NotUsb:
            return text + "not on USB (vendor " + Quoted(identity.vendor) + ")";
        case ProbeVerdict::OtherVendor:
            return text + "on USB, vendor " + Quoted(identity.vendor) + " is not \"" +
                   std::string(kProgrammerVendor) + "\"";
    }
    return text + "unknown verdict";
}

ProgrammerDiscovery::ProgrammerDiscovery(ProgrammerLink& link_, DriveProvider& drives_,
                                         LinkStatusView& view_)
    : link(link_), drives(drives_), view(view_) {}

ProbeVerdict ProgrammerDiscovery::JudgeIdentity(const StorageIdentity& identity) {
    if (!identity.usb) {
        return ProbeVerdict::NotUsb;
    }
    // Byte for byte: case and both trailing blanks matter, nothing may follow.
    if (!identity.vendor || *identity.vendor != kProgrammerVendor) {
        return ProbeVerdict::OtherVendor;
    }
    return ProbeVerdict::Programmer;
}

std::unique_ptr<PassThrough> ProgrammerDiscovery::ProbeDrive(std::int8_t drive,
                                                             ProbeReport* report) {
    OpenedDrive opened = drives.Open(drive);
    ProbeVerdict verdict;
    if (!opened.device) {
        verdict = opened.missing ? ProbeVerdict::NoSuchDrive : ProbeVerdict::CannotOpen;
    } else if (!opened.identity) {
        verdict = ProbeVerdict::CannotIdentify;
    } else {
        verdict = JudgeIdentity(*opened.identity);
    }
    if (report != nullptr) {
        report->drive = drive;
        report->driveName = drives.DriveName(drive);
        report->verdict = verdict;
        report->identity = opened.identity.value_or(StorageIdentity{});
        report->error = std::move(opened.error);
    }
    if (verdict != ProbeVerdict::Programmer) {
        return nullptr;  // closes the drive if it was opened
    }
    return std::move(opened.device);
}

void ProgrammerDiscovery::FindProgrammer(ScanReport* report) {
    auto probe = [&](std::int8_t drive, bool recheck) {
        if (report == nullptr) {
            return ProbeDrive(drive);
        }
        ProbeReport& entry = report->probes.emplace_back();
        entry.recheck = recheck;
        return ProbeDrive(drive, &entry);
    };

    std::int8_t current = link.DriveNumber();
    // A device held under drive number 0 (a programmer on drive 0 that the search took last,
    // because a higher one vanished during that search) is re-checked as well; otherwise it
    // would stay current, and shown as present, long after it was unplugged.
    if (current != 0 || link.Device() != nullptr) {
        if (probe(current, true) == nullptr) {
            link.Clear();
            current = 0;
        }
        // Still there: the re-check's own handle has closed again, the link keeps its device.
    }

    // Every drive is visited, so the highest-numbered programmer wins. The current drive
    // number is skipped, which leaves out drive 0 whenever the scan began without a programmer.
    for (int n = 0; n <= kLastDriveNumber; ++n) {
        const auto drive = static_cast<std::int8_t>(n);
        if (drive == current) {
            if (report != nullptr) {
                ProbeReport& entry = report->probes.emplace_back();
                entry.drive = drive;
                entry.driveName = drives.DriveName(drive);
                entry.verdict = ProbeVerdict::Skipped;
            }
            continue;
        }
        if (auto device = probe(drive, false)) {
            // The replaced device is only dropped here; a job holding it keeps it open.
            link.Set(std::move(device), drive);
            current = drive;
        }
    }
}

void ProgrammerDiscovery::UpdateLinkStatus() {
    if (link.Device() != nullptr) {
        view.SetUpdateEnabled(true);
        view.SetStatusIcon(kIconProgrammerPresent);
        view.SendDisplay({DISPLAY_PROGRESS, 0, nullptr});
    } else {
        view.SetUpdateEnabled(false);
        view.SetStatusIcon(kIconNoProgrammer);
        view.ClearLog();
    }
}

void ProgrammerDiscovery::Rescan() {
    FindProgrammer();
    UpdateLinkStatus();
}

std::size_t ProgrammerDiscovery::FollowDeviceChanges(DeviceChangeSource& source,
                                                     const DeviceChangeHandler& observer) {
    return source.Dispatch([&](const DeviceChange& change) {
        if (observer) {
            observer(change);
        }
        Rescan();
    });
}

}  // namespace tarnwick
