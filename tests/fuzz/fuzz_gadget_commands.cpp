// What a host sends the gadget on its bulk-out pipe: command block wrappers, each followed by
// the data of a data-out command, through the wrapper parser, the vendor check and the SCSI
// target with the emulated programmer behind it, as the gadget's bulk thread runs them.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <vector>

#include "FuzzOracle.h"
#include "emulator/EmulatedProgrammer.h"
#include "emulator/gadget/DataPhase.h"
#include "emulator/gadget/VendorCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    using namespace tarnwick::gadget;
    using tarnwick::testing::Expect;
    FuzzedDataProvider in(data, size);
    EmulatedProgrammer programmer(NorFlash::kBlockSize);
    ScsiTarget target(programmer, ScsiTarget::Identity{}, 16);
    // A programmer that stops answering or falls off the bus, as the input's last byte says.
    const auto faults = in.ConsumeIntegral<std::uint8_t>();
    FaultPlan faultPlan;
    faultPlan.muteLinkQuery = (faults & 0x80) != 0;
    faultPlan.shortStatus[0] = (faults >> 4) & 3;
    if ((faults & 0x40) != 0) {
        faultPlan.dropAfterCommands = faults & 0x0F;
    }
    programmer.SetFaults(faultPlan);
    while (in.remaining_bytes() > 0) {
        const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(kCbwSize);
        const auto cbw = ParseCbw(bytes);
        if (!cbw) {
            Expect(!cbw.error().cause.empty(), "a refused wrapper without a reason");
            continue;
        }
        const auto encoded = EncodeCbw(*cbw);
        Expect(std::equal(encoded.begin(), encoded.end(), bytes.begin(), bytes.end()),
               "a parsed wrapper encodes to other bytes");
        if (ScsiTarget::IsVendorCommand(cbw->cb[0])) {
            [[maybe_unused]] const auto checked = CheckVendorCommand(*cbw);
        }
        const Intent intent = target.IntentFor(*cbw);
        const Phase host = Announced(*cbw);
        const DataPhasePlan plan = PlanDataPhase(host, intent);
        Expect(host.direction == Direction::Out ? plan.receive + plan.discard == host.length
                                                : plan.receive == 0 && plan.discard == 0,
               "data-out taken other than the host sends");
        CommandResult result;
        if (!plan.phaseError) {
            std::vector<std::uint8_t> dataOut = in.ConsumeBytes<std::uint8_t>(plan.receive);
            dataOut.resize(plan.receive);
            result = target.Execute(*cbw, dataOut);
            Expect(result.dataIn.size() <= (host.direction == Direction::In ? intent.length : 0),
                   "data-in beyond the data phase the device asked for");
            Expect(result.outcome != Outcome::CheckCondition || target.PendingSense().key != 0,
                   "CHECK CONDITION without sense to tell why");
        }
        const std::array<std::uint16_t, 3> packets = {0, 64, 512};
        const BulkReply reply = PlanReply(host, plan, result.outcome, result.dataIn.size(),
                                          packets[in.ConsumeIntegralInRange<std::size_t>(0, 2)]);
        const bool silent =
            result.outcome == Outcome::NoAnswer || result.outcome == Outcome::DeviceGone;
        Expect(reply.answered == !silent, "a CSW for a command the programmer never answered");
        Expect(reply.send <= host.length && reply.send <= result.dataIn.size(),
               "data-in beyond what there is");
        Expect(host.direction != Direction::In || !reply.answered ||
                   reply.send + reply.residue == host.length,
               "a residue that does not add up");
        Expect(!reply.answered || (reply.status == CswStatus::Passed) ==
                                      (!plan.phaseError && result.outcome == Outcome::Good),
               "a status other than the command's outcome");
    }
    return 0;
}
