#include "emulator/gadget/DataPhase.h"

#include <algorithm>

namespace tarnwick::gadget {

DataPhasePlan PlanDataPhase(Phase host, Intent wanted) {
    DataPhasePlan plan;
    // The device may take less than the host offers, never more, and only in the same direction.
    const bool agree = wanted.direction == Direction::None ||
                       (wanted.direction == host.direction && wanted.length <= host.length);
    plan.phaseError = !agree;
    if (host.direction == Direction::Out) {
        plan.receive = agree && wanted.direction == Direction::Out ? wanted.length : 0;
        plan.discard = host.length - plan.receive;
    }
    return plan;
}

BulkReply PlanReply(Phase host, const DataPhasePlan& plan, Outcome outcome, std::size_t dataIn,
                    std::uint16_t maxPacketIn) {
    const bool in = host.direction == Direction::In;
    BulkReply reply;
    if (plan.phaseError) {
        // Nothing moved; a data-in the host still waits for is ended by the halt.
        reply.haltIn = in;
        reply.residue = host.length;
        reply.status = CswStatus::PhaseError;
        return reply;
    }
    if (outcome == Outcome::NoAnswer || outcome == Outcome::DeviceGone) {
        reply.answered = false;
        return reply;
    }
    reply.status = outcome == Outcome::Good ? CswStatus::Passed : CswStatus::Failed;
    if (!in) {
        reply.residue = host.length - plan.receive;
        return reply;
    }
    reply.send = static_cast<std::uint32_t>(std::min<std::size_t>(dataIn, host.length));
    reply.residue = host.length - reply.send;
    // A short packet ends the data by itself; an empty or packet-aligned one would leave the host
    // waiting for more.
    reply.haltIn = reply.send < host.length && (maxPacketIn == 0 || reply.send % maxPacketIn == 0);
    return reply;
}

}  // namespace tarnwick::gadget
