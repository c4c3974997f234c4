#include "cli/ListCommand.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/ProgrammerJson.h"
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

// A probe's line, with the USB identity of a programmer so that two can be told apart.
std::string ProbeLine(const ProbeReport& probe) {
    std::string line = probe.Describe();
    if (probe.verdict == ProbeVerdict::Programmer) {
        if (const std::string usb = UsbIdentityText(probe.identity); !usb.empty()) {
            line += ", " + usb;
        }
    }
    return line;
}

}  // namespace

void AddListCommand(CLI::App& app, ListOptions& o) {
    CLI::App* list = app.add_subcommand(
        "list", "Look for the programmer and tell, for every drive probed, why it is or is not it");
    list->add_flag(
        "--json", o.json,
        "Print the scan as JSON, for scripts. Every probe and the current programmer "
        "carry the drive's USB port path (\"port\", e.g. \"1-2.3\"), \"bus\" and \"device\" "
        "numbers and \"serial\"; each is null when not known");
    AddEmulatorOptions(*list, o.emulator);
    list->footer(ExitCodeHelp({0, 1, 9}, "a programmer was found"));
}

// The probes in runs: a run of drive numbers one after the other that are all missing is one
// entry (first, last); every other probe is an entry of its own.
std::vector<std::pair<std::size_t, std::size_t>> FoldMissing(
    const std::vector<ProbeReport>& probes) {
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t i = 0; i < probes.size();) {
        std::size_t j = i;
        while (probes[i].verdict == ProbeVerdict::NoSuchDrive && j + 1 < probes.size() &&
               probes[j + 1].verdict == ProbeVerdict::NoSuchDrive &&
               probes[j + 1].drive == probes[j].drive + 1) {
            ++j;
        }
        runs.emplace_back(i, j);
        i = j + 1;
    }
    return runs;
}

std::string MissingRunText(const ProbeReport& first, const ProbeReport& last) {
    return "drives " + std::to_string(first.drive) + " to " + std::to_string(last.drive) + " (" +
           first.driveName + " to " + last.driveName + "): no such drive";
}

void PrintScan(std::ostream& out, const ScanReport& report, const ProgrammerPresence& current) {
    std::size_t missing = 0;
    std::size_t others = 0;
    const auto& probes = report.probes;
    for (const auto& [i, j] : FoldMissing(probes)) {
        if (probes[i].verdict != ProbeVerdict::NoSuchDrive) {
            out << ProbeLine(probes[i]) << '\n';
            others += probes[i].verdict != ProbeVerdict::Skipped;
            continue;
        }
        out << (i == j ? probes[i].Describe() : MissingRunText(probes[i], probes[j])) << '\n';
        missing += j - i + 1;
    }
    if (others == 0 && missing > 0) {
        out << "no SCSI generic devices here: none of the " << missing
            << " drive numbers probed exists\n";
    }
    if (!current) {
        out << "no programmer found\n";
        return;
    }
    out << "programmer: drive " << int{current->drive} << " (" << current->driveName << ")";
    if (const std::string usb = UsbIdentityText(*current); !usb.empty()) {
        out << ", " << usb;
    }
    out << '\n';
}

void PrintScanJson(std::ostream& out, const ScanReport& report, const ProgrammerPresence& current) {
    nlohmann::json probes = nlohmann::json::array();
    for (const auto& [i, j] : FoldMissing(report.probes)) {
        const ProbeReport& p = report.probes[i];
        nlohmann::json probe{
            {"drive", int{p.drive}},
            {"name", p.driveName},
            {"recheck", p.recheck},
            {"verdict", VerdictName(p.verdict)},
            {"usb", p.identity.usb},
            {"vendor", p.identity.vendor ? nlohmann::json(*p.identity.vendor) : nlohmann::json()},
            {"error", p.error},
            {"description", i == j ? p.Describe() : MissingRunText(p, report.probes[j])}};
        if (i != j) {  // a run of missing drives, as the text folds it
            probe["last_drive"] = int{report.probes[j].drive};
            probe["last_name"] = report.probes[j].driveName;
        }
        AddUsbIdentityJson(probe, p.identity);
        probes.push_back(std::move(probe));
    }
    const nlohmann::json document{
        {"probes", std::move(probes)},
        {"current", current ? ProgrammerJson(*current) : nlohmann::json()}};
    out << DumpJson(document) << '\n';
}

int RunList(const ListOptions& o) {
    ConsoleDisplay console(std::cerr, false);
    auto opened = Session::Open(o.emulator, false, console);
    if (!opened) {
        std::cerr << "tarnwick-cli: " << opened.error().Describe() << '\n';
        return kExitUsage;
    }
    const std::unique_ptr<Session> session = std::move(*opened);
    ScanReport report;
    session->Discovery().FindProgrammer(&report);
    const ProgrammerPresence current = session->Discovery().Presence();
    if (o.json) {
        PrintScanJson(std::cout, report, current);
    } else {
        PrintScan(std::cout, report, current);
    }
    return current ? kExitSuccess : kExitNoProgrammer;
}

}  // namespace tarnwick::cli
