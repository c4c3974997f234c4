// The gadget's data phases and fault mapping on bytes, without a kernel: what the e2e guest relies
// on when the host's usb-storage talks to it, and what the host would not show on its own.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "emulator/gadget/BulkOnly.h"
#include "emulator/gadget/DataPhase.h"
#include "emulator/gadget/ScsiTarget.h"
#include "emulator/gadget/VendorCheck.h"
#include "link/CommandBlock.h"

namespace tarnwick::gadget {
namespace {

CommandBlockWrapper Wrap(const std::vector<std::uint8_t>& cb, Direction direction,
                         std::uint32_t length) {
    CommandBlockWrapper cbw;
    cbw.tag = 0x11223344;
    cbw.dataTransferLength = length;
    cbw.directionIn = direction == Direction::In;
    cbw.cbLength = static_cast<std::uint8_t>(cb.size());
    std::copy(cb.begin(), cb.end(), cbw.cb.begin());
    return cbw;
}

CommandBlockWrapper WrapVendor(const CommandBlock& cdb, Direction direction, std::uint32_t length) {
    return Wrap(std::vector<std::uint8_t>(cdb.begin(), cdb.end()), direction, length);
}

// Each row: what the host announced, what the command wanted, how it ended, and what must go
// back on the wire.
struct DataPhaseRow {
    const char* behaviour;
    Direction host;
    std::uint32_t hostLength;
    Intent wanted;
    Outcome outcome;
    std::size_t replyBytes;
    DataPhasePlan plan;
    BulkReply reply;
};

TEST(DataPhase, EachCommandGetsTheDataPhaseAndStatusTheHostCanFollow) {
    constexpr auto In = Direction::In;
    constexpr auto Out = Direction::Out;
    constexpr auto Good = Outcome::Good;
    constexpr auto Check = Outcome::CheckCondition;
    constexpr auto Passed = CswStatus::Passed;
    constexpr auto Failed = CswStatus::Failed;
    // clang-format off
    const DataPhaseRow rows[] = {
        //     host       wanted       outcome reply  phase receive discard  send halt residue status
        {"a status reply cut to two bytes is a short data-in, GOOD, with the rest as residue",
               In,   16,  {In,   16},  Good,   2,     {},                    {2,   false, 14, Passed}},
        {"a failed data-in command sends nothing and halts bulk-in",
               In,   16,  {In,   16},  Check,  0,     {},                    {0,   true,  16, Failed}},
        {"a reply a whole packet short halts bulk-in after it",
               In,   1024, {In, 1024}, Good,   512,   {},                    {512, true, 512, Passed}},
        {"a page write the programmer refuses takes its data and fails",
               Out,  512, {Out, 512},  Check,  0,     {false, 512, 0},       {0,   false, 0,  Failed}},
    };
    // clang-format on
    for (const DataPhaseRow& row : rows) {
        SCOPED_TRACE(row.behaviour);
        CommandBlockWrapper cbw;
        cbw.dataTransferLength = row.hostLength;
        cbw.directionIn = row.host == Direction::In;
        const DataPhasePlan plan = PlanDataPhase(cbw, row.wanted);
        EXPECT_EQ(plan.phaseError, row.plan.phaseError);
        EXPECT_EQ(plan.receive, row.plan.receive);
        EXPECT_EQ(plan.discard, row.plan.discard);
        const BulkReply reply = PlanReply(cbw, plan, row.outcome, row.replyBytes, 512);
        EXPECT_EQ(reply.send, row.reply.send);
        EXPECT_EQ(reply.haltIn, row.reply.haltIn);
        EXPECT_EQ(reply.residue, row.reply.residue);
        EXPECT_EQ(reply.status, row.reply.status);
    }
}

// What the e2e guest flags in the host's commands: a data phase against the tables, a block the
// kernel cut to 10 bytes, a reserved byte set.
TEST(VendorCheck, FlagsCommandsThatBreakTheTables) {
    EXPECT_NE(CheckVendorCommand(WrapVendor(MakePageWrite(0, 512, 0), Direction::In, 512)), "");
    EXPECT_NE(CheckVendorCommand(WrapVendor(MakePageRead(0, 512), Direction::In, 1024)), "");
    EXPECT_NE(CheckVendorCommand(WrapVendor(MakeBlockErase(0), Direction::None, 0)), "");
    CommandBlock cdb = MakeStatusQuery(1, 0, 16);
    auto shortBlock = WrapVendor(cdb, Direction::In, 16);
    shortBlock.cbLength = 10;
    EXPECT_NE(CheckVendorCommand(shortBlock), "");
    cdb[12] = 1;
    EXPECT_NE(CheckVendorCommand(WrapVendor(cdb, Direction::In, 16)), "");
}

// A programmer that fails each exchange in one way, with two bytes of reply when cut short.
class FailingProgrammer : public PassThrough {
  public:
    explicit FailingProgrammer(TransferFault f) : failure(std::move(f)) {}
    bool Exchange(const PassThroughRequest& request, TransferFault* fault) override {
        auto* reply = static_cast<std::uint8_t*>(request.buffer);
        reply[0] = 0xFC;
        reply[1] = 0x07;
        *fault = failure;
        return false;
    }

  private:
    TransferFault failure;
};

TransferFault Failure(int sysErrno, int scsiStatus, std::uint32_t residual,
                      std::uint8_t senseKey = 0) {
    TransferFault fault;
    fault.sysErrno = sysErrno;
    fault.scsiStatus = scsiStatus;
    fault.residual = residual;
    if (senseKey != 0) {
        fault.senseLength = 18;
        fault.sense[0] = 0x70;
        fault.sense[2] = senseKey;
        fault.sense[12] = kAscInvalidOpcode;
    }
    return fault;
}

TEST(ScsiTargetVendor, EachWayTheProgrammerFailsBecomesWhatTheHostMustSee) {
    struct Row {
        const char* behaviour;
        TransferFault failure;
        Outcome outcome;
        std::size_t replyBytes;
        Sense sense;
    };
    constexpr auto Good = Outcome::Good;
    constexpr auto Check = Outcome::CheckCondition;
    constexpr Sense kHardware{kSenseHardwareError, kAscInternalTargetFailure, 0};
    // clang-format off
    const Row rows[] = {
        {"a status reply cut short goes back as the two bytes that moved, GOOD",
         Failure(0, 0, 14), Good, 2, {}},
        {"a refused request is CHECK CONDITION with the programmer's sense",
         Failure(0, 2, 0, kSenseIllegalRequest), Check, 0, {kSenseIllegalRequest, kAscInvalidOpcode, 0}},
        {"a failure without sense is CHECK CONDITION with HARDWARE ERROR",
         Failure(0, 0, 0), Check, 0, kHardware},
        {"a cut-short reply with a CHECK CONDITION stays a failure", Failure(0, 2, 14), Check, 0, kHardware},
        {"a programmer that never answers leaves the command unanswered",
         Failure(ETIMEDOUT, 0, 16), Outcome::NoAnswer, 0, {}},
        {"a programmer that fell off the bus makes the gadget go", Failure(ENODEV, 0, 0), Outcome::DeviceGone, 0, {}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.behaviour);
        FailingProgrammer programmer(row.failure);
        ScsiTarget target(programmer, ScsiTarget::Identity{}, 16);
        const auto result =
            target.Execute(WrapVendor(MakeStatusQuery(7, 0, 16), Direction::In, 16), {});
        EXPECT_EQ(result.outcome, row.outcome);
        ASSERT_EQ(result.dataIn.size(), row.replyBytes);
        if (row.replyBytes == 2) {
            EXPECT_EQ(result.dataIn, (std::vector<std::uint8_t>{0xFC, 0x07}));
        }
        EXPECT_EQ(target.PendingSense().key, row.sense.key);
        EXPECT_EQ(target.PendingSense().asc, row.sense.asc);
    }
}

}  // namespace
}  // namespace tarnwick::gadget
