// The gadget's data phases and command check on bytes, without a kernel: what the e2e guest relies
// on when the host's usb-storage talks to it, and what the host would not show on its own. How
// the programmer's failures reach the host is asserted through the real kernel by the e2e faults
// and hotplug groups (CHECK CONDITION, a short status reply, no answer, gone from the bus).
#include <gtest/gtest.h>

#include "emulator/gadget/DataPhase.h"
#include "emulator/gadget/VendorCheck.h"
#include "link/CommandBlock.h"

namespace tarnwick::gadget {
namespace {

using enum Direction;
using enum Outcome;
using enum CswStatus;

TEST(DataPhase, EachPairOfHostAndDeviceExpectationsEndsAsTheHostCanFollow) {
    // clang-format off
    const struct {
        const char* behaviour;
        Phase host;
        Intent device;
        Outcome outcome;
        std::size_t replyBytes;
        DataPhasePlan plan;
        BulkReply reply;
    } rows[] = {
        {"Hn=Dn passes", {None, 0}, {None, 0}, Good, 0, {}, {true, 0, false, 0, Passed}},
        {"Hn<Di is a phase error", {None, 0}, {In, 16}, Good, 0, {true, 0, 0}, {true, 0, false, 0, PhaseError}},
        {"Hn<Do is a phase error", {None, 0}, {Out, 16}, Good, 0, {true, 0, 0}, {true, 0, false, 0, PhaseError}},
        {"Hi>Dn halts the empty data-in", {In, 16}, {None, 0}, Good, 0, {}, {true, 0, true, 16, Passed}},
        {"Hi>Di ends with a short packet and residue", {In, 1024}, {In, 16}, Good, 16, {}, {true, 16, false, 1008, Passed}},
        {"Hi>Di a whole packet short halts after it", {In, 1024}, {In, 1024}, Good, 512, {}, {true, 512, true, 512, Passed}},
        {"Hi=Di passes", {In, 16}, {In, 16}, Good, 16, {}, {true, 16, false, 0, Passed}},
        {"a status reply cut to two bytes is a short data-in, GOOD", {In, 16}, {In, 16}, Good, 2, {}, {true, 2, false, 14, Passed}},
        {"Hi<Di is a phase error that halts bulk-in", {In, 8}, {In, 16}, Good, 0, {true, 0, 0}, {true, 0, true, 8, PhaseError}},
        {"Hi<>Do is a phase error that halts bulk-in", {In, 16}, {Out, 16}, Good, 0, {true, 0, 0}, {true, 0, true, 16, PhaseError}},
        {"Ho>Dn takes the data and drops it", {Out, 512}, {None, 0}, Good, 0, {false, 0, 512}, {true, 0, false, 512, Passed}},
        {"Ho<>Di takes the data, a phase error", {Out, 512}, {In, 16}, Good, 0, {true, 0, 512}, {true, 0, false, 512, PhaseError}},
        {"Ho>Do hands over what the device wants", {Out, 1024}, {Out, 512}, Good, 0, {false, 512, 512}, {true, 0, false, 512, Passed}},
        {"Ho=Do passes", {Out, 512}, {Out, 512}, Good, 0, {false, 512, 0}, {true, 0, false, 0, Passed}},
        {"Ho<Do is a phase error", {Out, 256}, {Out, 512}, Good, 0, {true, 0, 256}, {true, 0, false, 256, PhaseError}},
        {"a failed data-in sends nothing and halts", {In, 16}, {In, 16}, CheckCondition, 0, {}, {true, 0, true, 16, Failed}},
        {"a refused page write fails with its data taken", {Out, 512}, {Out, 512}, CheckCondition, 0, {false, 512, 0}, {true, 0, false, 0, Failed}},
        {"a programmer that never answers leaves the host without CSW", {In, 16}, {In, 16}, NoAnswer, 0, {}, {false, 0, false, 0, Passed}},
        {"a programmer gone from the bus leaves it too", {Out, 512}, {Out, 512}, DeviceGone, 0, {false, 512, 0}, {false, 0, false, 0, Passed}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        const DataPhasePlan plan = PlanDataPhase(row.host, row.device);
        EXPECT_EQ(plan, row.plan);
        EXPECT_EQ(PlanReply(row.host, plan, row.outcome, row.replyBytes, 512), row.reply);
    }
    // Without the packet size every short data-in is halted: the host must not wait for more.
    EXPECT_TRUE(PlanReply({In, 1024}, {}, Good, 16, 0).haltIn);
}

CommandBlockWrapper Wrap(const CommandBlock& cdb, Direction direction, std::uint32_t length,
                         std::uint8_t cbLength = 16) {
    return {.dataTransferLength = length,
            .directionIn = direction == In,
            .cbLength = cbLength,
            .cb = cdb};
}

// What the e2e guest flags in the host's commands: a data phase against the tables, a block the
// kernel cut to 10 bytes; and what it lets through. The block's own bytes are CommandBlockCheck's.
TEST(VendorCheck, FlagsCommandsThatBreakTheTables) {
    for (const CommandBlockWrapper& fine :
         {Wrap(MakePageWrite(0, 512, 0), Out, 512), Wrap(MakeBlockErase(0), In, 16)}) {
        EXPECT_TRUE(CheckVendorCommand(fine)) << int{fine.cb[0]};
    }
    for (const CommandBlockWrapper& broken :
         {Wrap(MakePageWrite(0, 512, 0), In, 512), Wrap(MakePageRead(0, 512), In, 1024),
          Wrap(MakeBlockErase(0), None, 0), Wrap(MakeStatusQuery(1, 0, 16), In, 16, 10)}) {
        EXPECT_FALSE(CheckVendorCommand(broken)) << int{broken.cb[0]};
    }
}

}  // namespace
}  // namespace tarnwick::gadget
