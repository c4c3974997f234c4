#include "cli/ListCommand.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/Session.h"

namespace tarnwick::cli {

namespace {

const char* VerdictName(ProbeVerdict verdict) {
    switch (verdict) {
        case ProbeVerdict::Programmer:
            return "programmer";
        case ProbeVerdict::Skipped:
            return "skipped";
        case ProbeVerdict::NoSuchDrive:
            return "no-such-drive";
        case ProbeVerdict::CannotOpen:
            return "cannot-open";
        case ProbeVerdict::CannotIdentify:
            return "cannot-identify";
        case ProbeVerdict::NotUsb:
            return "not-usb";
        case ProbeVerdict::OtherVendor:
            return "other-vendor";
    }
    return "unknown";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

void AddListCommand(CLI::App& app, ListOptions& o) {
    CLI::App* list = app.add_subcommand(
        "list", "Look for the programmer and tell, for every drive probed, why it is or is not it");
    list->add_flag("--json", o.json, "Print the scan as JSON, for scripts");
    AddEmulatorOptions(*list, o.emulator);
    list->footer("Exit status: 0 when a programmer was found, 9 when none was.");
}

void PrintScan(std::ostream& out, const ScanReport& report, const std::string& current) {
    std::size_t missing = 0;
    std::size_t others = 0;
    const auto& probes = report.probes;
    for (std::size_t i = 0; i < probes.size();) {
        if (probes[i].verdict != ProbeVerdict::NoSuchDrive) {
            out << probes[i].Describe() << '\n';
            others += probes[i].verdict != ProbeVerdict::Skipped;
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j + 1 < probes.size() && probes[j + 1].verdict == ProbeVerdict::NoSuchDrive &&
               probes[j + 1].drive == probes[j].drive + 1) {
            ++j;
        }
        if (i == j) {
            out << probes[i].Describe() << '\n';
        } else {
            out << "drives " << int{probes[i].drive} << " to " << int{probes[j].drive} << " ("
                << probes[i].driveName << " to " << probes[j].driveName << "): no such drive\n";
        }
        missing += j - i + 1;
        i = j + 1;
    }
    if (others == 0 && missing > 0) {
        out << "no SCSI generic devices here: none of the " << missing
            << " drive numbers probed exists\n";
    }
    out << (current.empty() ? "no programmer found\n" : "programmer: " + current + "\n");
}

void PrintScanJson(std::ostream& out, const ScanReport& report, int currentDrive,
                   const std::string& currentName) {
    out << "{\"probes\":[";
    bool first = true;
    for (const ProbeReport& p : report.probes) {
        out << (first ? "" : ",") << "\n  {\"drive\":" << int{p.drive}
            << ",\"name\":" << JsonString(p.driveName)
            << ",\"recheck\":" << (p.recheck ? "true" : "false")
            << ",\"verdict\":" << JsonString(VerdictName(p.verdict))
            << ",\"usb\":" << (p.identity.usb ? "true" : "false") << ",\"vendor\":"
            << (p.identity.vendor ? JsonString(*p.identity.vendor) : std::string("null"))
            << ",\"error\":" << JsonString(p.error)
            << ",\"description\":" << JsonString(p.Describe()) << "}";
        first = false;
    }
    out << "\n],\n\"current\":";
    if (currentDrive == 0 && currentName.empty()) {
        out << "null";
    } else {
        out << "{\"drive\":" << currentDrive << ",\"name\":" << JsonString(currentName) << "}";
    }
    out << "}\n";
}

int RunList(const ListOptions& o) {
    ConsoleDisplay console(std::cout, false);
    auto opened = Session::Open(o.emulator, false, console);
    if (!opened) {
        std::cerr << "tarnwick-cli: " << opened.error().Describe() << '\n';
        return kExitUsage;
    }
    const std::unique_ptr<Session> session = std::move(*opened);
    ScanReport report;
    session->Discovery().FindProgrammer(&report);
    const bool found = session->Link().Device() != nullptr;
    const std::int8_t drive = session->Link().DriveNumber();
    const std::string name = found ? session->Drives().DriveName(drive) : std::string();
    if (o.json) {
        PrintScanJson(std::cout, report, found ? drive : 0, name);
    } else {
        PrintScan(std::cout, report,
                  found ? "drive " + std::to_string(drive) + " (" + name + ")" : std::string());
    }
    return found ? kExitSuccess : kExitNoProgrammer;
}

}  // namespace tarnwick::cli
