#include "cli/StationLedger.h"

#include <algorithm>

#include "cli/MultiWrite.h"

namespace tarnwick::cli {

std::string StationLedger::PortOf(const FoundProgrammer& programmer) {
    return TargetTag(programmer);
}

StationLedger::Changes StationLedger::Look(const std::vector<FoundProgrammer>& present) {
    Changes changes;
    const auto shown = [&](const Plug& plug) {
        return std::any_of(present.begin(), present.end(),
                           [&](const FoundProgrammer& p) { return plug == p; });
    };
    // A plug with its job still running is kept: it is forgotten once the job has ended.
    std::erase_if(taken, [&](const Plug& plug) {
        if (plug.busy || shown(plug)) {
            return false;
        }
        changes.unplugged.push_back(plug.port);
        return true;
    });
    for (const FoundProgrammer& programmer : present) {
        const std::string port = PortOf(programmer);
        const bool known = std::any_of(taken.begin(), taken.end(),
                                       [&](const Plug& plug) { return plug == programmer; });
        const bool portBusy = std::any_of(taken.begin(), taken.end(), [&](const Plug& plug) {
            return plug.busy && plug.port == port;
        });
        if (!known && !portBusy) {
            taken.push_back({port, programmer.driveName, programmer.usbDevice});
            changes.toWrite.push_back(programmer);
        }
    }
    return changes;
}

void StationLedger::Ended(const FoundProgrammer& programmer, bool written) {
    for (Plug& plug : taken) {
        if (plug == programmer) {
            plug.busy = false;
        }
    }
    PortTotals& totals = TotalsOf(PortOf(programmer));
    ++(written ? totals.written : totals.failed);
}

void StationLedger::Release(const FoundProgrammer& programmer) {
    std::erase_if(taken, [&](const Plug& plug) { return plug == programmer; });
}

StationLedger::PortTotals& StationLedger::TotalsOf(const std::string& port) {
    const auto found = std::find_if(ports.begin(), ports.end(),
                                    [&](const PortTotals& totals) { return totals.port == port; });
    return found != ports.end() ? *found : ports.emplace_back(PortTotals{port});
}

int StationLedger::Written() const {
    int sum = 0;
    for (const PortTotals& totals : ports) {
        sum += totals.written;
    }
    return sum;
}

int StationLedger::Failed() const {
    int sum = 0;
    for (const PortTotals& totals : ports) {
        sum += totals.failed;
    }
    return sum;
}

}  // namespace tarnwick::cli
