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
            // passes it over; no drive has that number.
            return text + (drive == 0 ? "not probed, the number stands for no programmer"
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
                                         PresenceObserver observer_)
    : link(link_), drives(drives_), presenceObserver(std::move(observer_)) {}

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
        report->error = opened.fault ? opened.fault->Describe() : std::string();
    }
    if (verdict != ProbeVerdict::Programmer) {
        return nullptr;  // closes the drive if it was opened
    }
    return std::move(opened.device);
}

void ProgrammerDiscovery::FindProgrammer(ScanReport* report) {
    ProbeReport scratch;
    // The probe's report, kept in `report` when there is one; the identity is needed either way.
    auto probe = [&](std::int8_t drive,
                     bool recheck) -> std::pair<std::unique_ptr<PassThrough>, const ProbeReport*> {
        ProbeReport* entry = report != nullptr ? &report->probes.emplace_back() : &scratch;
        *entry = ProbeReport{};
        entry->recheck = recheck;
        auto device = ProbeDrive(drive, entry);
        return {std::move(device), entry};
    };

    std::int8_t current = link.DriveNumber();
    // A device held under drive number 0 (set there by hand, since no provider has a drive 0)
    // is re-checked as well; otherwise it would stay current, and shown as present, long after
    // it was unplugged.
    if (current != 0 || link.Device() != nullptr) {
        auto [device, probed] = probe(current, true);
        if (device == nullptr) {
            link.Clear();
            current = 0;
        } else if (probed->identity.usbDevice != link.UsbDevice()) {
            // Unplugged and plugged in again between two scans under the same drive number: the
            // link's device is dead, every command through it would fail.
            link.Set(std::move(device), current, probed->identity);
        }
        // Still the same device: the re-check's own handle closes again, the link keeps its own.
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
        if (auto [device, probed] = probe(drive, false); device != nullptr) {
            // The replaced device is only dropped here; a job holding it keeps it open.
            link.Set(std::move(device), drive, probed->identity);
            current = drive;
        }
    }
}

ProgrammerPresence ProgrammerDiscovery::Presence() const {
    // The device decides, not the drive number: a device held under number 0 is present too.
    if (link.Device() == nullptr) {
        return std::nullopt;
    }
    const std::int8_t drive = link.DriveNumber();
    return FoundProgrammer::Of(drive, drives.DriveName(drive), link.Identity());
}

void ProgrammerDiscovery::ReportPresence() {
    if (presenceObserver) {
        presenceObserver(Presence());
    }
}

void ProgrammerDiscovery::Rescan() {
    FindProgrammer();
    ReportPresence();
}

std::size_t ProgrammerDiscovery::FollowDeviceChanges(DeviceChangeSource& source,
                                                     const DeviceChangeHandler& observer) {
    const std::size_t changes = source.Dispatch([&](const DeviceChange& change) {
        if (observer) {
            observer(change);
        }
    });
    // One scan sees the outcome of every change before it; one per change would only repeat
    // up to 128 opens for each device on a hub that was just plugged in.
    if (changes > 0) {
        Rescan();
    }
    return changes;
}

}  // namespace tarnwick
