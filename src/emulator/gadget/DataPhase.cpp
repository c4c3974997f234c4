#include "emulator/gadget/DataPhase.h"

#include <algorithm>

namespace tarnwick::gadget {

DataPhasePlan PlanDataPhase(const CommandBlockWrapper& cbw, const Intent& intent) {
    const std::uint32_t hostLength = cbw.dataTransferLength;
    DataPhasePlan plan;
    switch (cbw.HostDirection()) {
        case Direction::None:
            plan.phaseError = intent.direction != Direction::None;
            break;
        case Direction::Out:
            plan.phaseError = intent.direction == Direction::In ||
                              (intent.direction == Direction::Out && intent.length > hostLength);
            plan.receive =
                !plan.phaseError && intent.direction == Direction::Out ? intent.length : 0;
            plan.discard = hostLength - plan.receive;
            break;
        case Direction::In:
            plan.phaseError = intent.direction == Direction::Out ||
                              (intent.direction == Direction::In && intent.length > hostLength);
            break;
    }
    return plan;
}

BulkReply PlanReply(const CommandBlockWrapper& cbw, const DataPhasePlan& plan, Outcome outcome,
                    std::size_t dataIn, std::uint16_t maxPacketIn) {
    const std::uint32_t hostLength = cbw.dataTransferLength;
    const bool in = cbw.HostDirection() == Direction::In;
    BulkReply reply;
    if (plan.phaseError) {
        // Nothing moved; a data-in the host still waits for is ended by the halt.
        reply.haltIn = in;
        reply.residue = hostLength;
        reply.status = CswStatus::PhaseError;
        return reply;
    }
    reply.status = outcome == Outcome::Good ? CswStatus::Passed : CswStatus::Failed;
    if (!in) {
        reply.residue = hostLength - plan.receive;
        return reply;
    }
    reply.send = static_cast<std::uint32_t>(std::min<std::size_t>(dataIn, hostLength));
    reply.residue = hostLength - reply.send;
    // A short packet ends the data by itself; an empty or packet-aligned one would leave the host
    // waiting for more.
    reply.haltIn = reply.send < hostLength && (maxPacketIn == 0 || reply.send % maxPacketIn == 0);
    return reply;
}

}  // namespace tarnwick::gadget
