#include "cli/ListCommand.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/ConsoleDisplay.h"
#include "cli/ExitCode.h"
#include "cli/JobLanguage.h"
#include "cli/OwnLines.h"
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
    std::string line = ProbeText(probe);
    if (probe.verdict == ProbeVerdict::Programmer) {
        if (const std::string usb = UsbIdentityText(probe.identity); !usb.empty()) {
            line = Say("{1}, {2}", {line, usb});
        }
    }
    return line;
}

std::string VendorText(const std::optional<std::string>& vendor) {
    return vendor ? "\"" + *vendor + "\"" : Say("none");
}

std::string VerdictText(const ProbeReport& probe) {
    switch (probe.verdict) {
        case ProbeVerdict::Programmer:
            return Say("programmer");
        case ProbeVerdict::Skipped:
            return Say(probe.drive == 0 ? "not probed, the number stands for no programmer"
                                        : "skipped, it is the current programmer");
        case ProbeVerdict::NoSuchDrive:
            return Say("no such drive");
        case ProbeVerdict::CannotOpen:
            return Say("cannot open: {1}", {probe.error});
        case ProbeVerdict::CannotIdentify:
            return Say("cannot identify: {1}", {probe.error});
        case ProbeVerdict::NotUsb:
            return Say("not on USB (vendor {1})", {VendorText(probe.identity.vendor)});
        case ProbeVerdict::OtherVendor:
            return Say(
                "on USB, vendor {1} is not {2}",
                {VendorText(probe.identity.vendor), VendorText(std::string(kProgrammerVendor))});
    }
    return Say("unknown verdict");
}

}  // namespace

std::string ProbeText(const ProbeReport& probe) {
    if (LanguageOfPerson() != PersonLanguage::Chinese) {
        return probe.Describe();
    }
    const std::string drive = std::to_string(probe.drive);
    const std::string head = probe.driveName.empty()
                                 ? Say("drive {1}", {drive})
                                 : Say("drive {1} ({2})", {drive, probe.driveName});
    return Say(probe.recheck ? "{1}, re-check: {2}" : "{1}: {2}", {head, VerdictText(probe)});
}

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

// In English for the JSON, as the person reads it for the text.
std::string MissingRunText(const ProbeReport& first, const ProbeReport& last,
                           bool forPerson = false) {
    constexpr std::string_view text = "drives {1} to {2} ({3} to {4}): no such drive";
    const std::string from = std::to_string(first.drive);
    const std::string to = std::to_string(last.drive);
    return forPerson ? Say(text, {from, to, first.driveName, last.driveName})
                     : Fill(text, {from, to, first.driveName, last.driveName});
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
        out << (i == j ? ProbeText(probes[i]) : MissingRunText(probes[i], probes[j], true)) << '\n';
        missing += j - i + 1;
    }
    if (others == 0 && missing > 0) {
        out << Say("no SCSI generic devices here: none of the {1} drive numbers probed exists",
                   {std::to_string(missing)})
            << '\n';
    }
    if (!current) {
        out << Say("no programmer found") << '\n';
        return;
    }
    std::string line = Say("programmer: drive {1} ({2})",
                           {std::to_string(int{current->drive}), current->driveName});
    if (const std::string usb = UsbIdentityText(*current); !usb.empty()) {
        line = Say("{1}, {2}", {line, usb});
    }
    out << line << '\n';
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
