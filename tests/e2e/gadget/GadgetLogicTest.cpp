// The gadget's transport and SCSI logic on bytes, without a kernel: what the e2e guest relies on
// when the host's usb-storage talks to it.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "emulator/EmulatedProgrammer.h"
#include "emulator/gadget/BulkOnly.h"
#include "emulator/gadget/DataPhase.h"
#include "emulator/gadget/ScsiTarget.h"
#include "emulator/gadget/VendorCheck.h"
#include "link/CommandBlock.h"
#include "link/Crc16.h"

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

TEST(BulkOnly, AWrapperSurvivesEncodingAndParsing) {
    CommandBlockWrapper sent = Wrap({0x12, 0, 0, 0, 36, 0}, Direction::In, 36);
    sent.lun = 0;
    const auto bytes = EncodeCbw(sent);
    EXPECT_EQ(bytes[0], 'U');
    EXPECT_EQ(bytes[3], 'C');
    const auto parsed = ParseCbw(bytes);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->tag, 0x11223344u);
    EXPECT_EQ(parsed->dataTransferLength, 36u);
    EXPECT_EQ(parsed->HostDirection(), Direction::In);
    EXPECT_EQ(parsed->cbLength, 6);
    EXPECT_EQ(parsed->cb[4], 36);
}

TEST(BulkOnly, MalformedWrappersAreRefusedWithAReason) {
    auto bytes = EncodeCbw(Wrap({0x00}, Direction::None, 0));
    std::string why;
    EXPECT_FALSE(ParseCbw(std::span(bytes).first(30), &why));
    EXPECT_NE(why.find("30 bytes"), std::string::npos);

    auto badSignature = bytes;
    badSignature[0] = 'X';
    EXPECT_FALSE(ParseCbw(badSignature, &why));
    EXPECT_NE(why.find("signature"), std::string::npos);

    for (const std::uint8_t length : {std::uint8_t{0}, std::uint8_t{17}}) {
        auto badLength = bytes;
        badLength[14] = length;
        EXPECT_FALSE(ParseCbw(badLength)) << int{length};
    }
    auto reservedFlag = bytes;
    reservedFlag[12] = 0x01;
    EXPECT_FALSE(ParseCbw(reservedFlag));
}

TEST(BulkOnly, AStatusWrapperCarriesTagResidueAndStatusLittleEndian) {
    const auto csw = EncodeCsw(0x01020304, 0x200, CswStatus::PhaseError);
    const std::array<std::uint8_t, kCswSize> expected = {'U', 'S', 'B', 'S', 4, 3, 2,
                                                         1,   0,   2,   0,   0, 2};
    EXPECT_EQ(csw, expected);
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
    constexpr auto None = Direction::None;
    constexpr auto Good = Outcome::Good;
    constexpr auto Check = Outcome::CheckCondition;
    constexpr auto Passed = CswStatus::Passed;
    constexpr auto Failed = CswStatus::Failed;
    constexpr auto Phase = CswStatus::PhaseError;
    // clang-format off
    const DataPhaseRow rows[] = {
        //     host       wanted       outcome reply  phase receive discard  send halt residue status
        {"a status query answered in full",
               In,   16,  {In,   16},  Good,   16,    {},                    {16,  false, 0,  Passed}},
        {"a status reply cut to two bytes is a short data-in, GOOD, with the rest as residue",
               In,   16,  {In,   16},  Good,   2,     {},                    {2,   false, 14, Passed}},
        {"a failed data-in command sends nothing and halts bulk-in",
               In,   16,  {In,   16},  Check,  0,     {},                    {0,   true,  16, Failed}},
        {"a reply a whole packet short halts bulk-in after it",
               In,   1024, {In, 1024}, Good,   512,   {},                    {512, true, 512, Passed}},
        {"a page write takes all its data",
               Out,  512, {Out, 512},  Good,   0,     {false, 512, 0},       {0,   false, 0,  Passed}},
        {"a page write the programmer refuses takes its data and fails",
               Out,  512, {Out, 512},  Check,  0,     {false, 512, 0},       {0,   false, 0,  Failed}},
        {"data beyond what the command wants is read and dropped",
               Out, 1024, {Out, 512},  Good,   0,     {false, 512, 512},     {0,  false, 512, Passed}},
        {"data sent for a command that answers is a phase error",
               Out,  512, {In,   16},  Good,   0,     {true,  0,   512},     {0,  false, 512, Phase}},
        {"a host reading less than the command answers is a phase error",
               In,   8,   {In,   36},  Good,   0,     {true,  0,   0},       {0,   true,  8,  Phase}},
        {"a host expecting no data for a command that answers is a phase error",
               None, 0,   {In,    8},  Good,   0,     {true,  0,   0},       {0,   false, 0,  Phase}},
        {"a command without data passes with no residue",
               None, 0,   {},          Good,   0,     {},                    {0,   false, 0,  Passed}},
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

TEST(VendorCheck, TheJobsCommandsAreWellFormed) {
    EXPECT_EQ(
        CheckVendorCommand(WrapVendor(MakePageWrite(0x200, 512, 0x31C3), Direction::Out, 512)), "");
    EXPECT_EQ(CheckVendorCommand(WrapVendor(MakePageRead(0x200, 512), Direction::In, 512)), "");
    EXPECT_EQ(CheckVendorCommand(WrapVendor(MakeBlockErase(0x10000), Direction::In, 16)), "");
    EXPECT_EQ(CheckVendorCommand(WrapVendor(MakeStatusQuery(7, 0, 16), Direction::In, 16)), "");
}

TEST(VendorCheck, ADataPhaseAgainstTheTablesIsAViolation) {
    // A page write whose data the host would read instead of send.
    EXPECT_NE(
        CheckVendorCommand(WrapVendor(MakePageWrite(0, 512, 0), Direction::In, 512)).find("page"),
        std::string::npos);
    // A data phase longer than the length bytes say.
    EXPECT_NE(CheckVendorCommand(WrapVendor(MakePageRead(0, 512), Direction::In, 1024)), "");
    // The erase reply is 16 bytes although the block's length bytes are 0.
    EXPECT_NE(CheckVendorCommand(WrapVendor(MakeBlockErase(0), Direction::None, 0)), "");
}

TEST(VendorCheck, ShortBlocksAndReservedBytesAreViolations) {
    CommandBlock cdb = MakeStatusQuery(1, 0, 16);
    auto shortBlock = WrapVendor(cdb, Direction::In, 16);
    shortBlock.cbLength = 10;  // what the kernel assumes for these opcodes without cmd_len
    EXPECT_NE(CheckVendorCommand(shortBlock).find("10 bytes"), std::string::npos);
    cdb[12] = 1;
    EXPECT_NE(CheckVendorCommand(WrapVendor(cdb, Direction::In, 16)).find("reserved byte 12"),
              std::string::npos);
}

class ScsiTargetTest : public ::testing::Test {
  protected:
    EmulatedProgrammer programmer{NorFlash::kBlockSize};
    ScsiTarget target{programmer, ScsiTarget::Identity{}, 16};

    CommandResult Run(const std::vector<std::uint8_t>& cb, Direction direction,
                      std::uint32_t length, std::vector<std::uint8_t> out = {}) {
        return target.Execute(Wrap(cb, direction, length), out);
    }
};

TEST_F(ScsiTargetTest, InquiryNamesVendorProductAndRevisionInTheirFields) {
    const auto result = Run({0x12, 0, 0, 0, 36, 0}, Direction::In, 36);
    ASSERT_EQ(result.outcome, Outcome::Good);
    ASSERT_EQ(result.dataIn.size(), 36u);
    EXPECT_EQ(std::string(result.dataIn.begin() + 8, result.dataIn.begin() + 16), "VORTAN  ");
    EXPECT_EQ(std::string(result.dataIn.begin() + 16, result.dataIn.begin() + 32),
              "Flash Programmer");
    EXPECT_EQ(std::string(result.dataIn.begin() + 32, result.dataIn.end()), "1.00");
    EXPECT_EQ(Run({0x12, 0, 0, 0, 8, 0}, Direction::In, 8).dataIn.size(), 8u);
}

TEST_F(ScsiTargetTest, AnUnknownCommandIsRefusedWithIllegalRequestSenseOnce) {
    EXPECT_EQ(Run({0x4D, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Direction::None, 0).outcome,
              Outcome::CheckCondition);
    const auto sense = Run({0x03, 0, 0, 0, 18, 0}, Direction::In, 18);
    ASSERT_EQ(sense.dataIn.size(), 18u);
    EXPECT_EQ(sense.dataIn[0], 0x70);
    EXPECT_EQ(sense.dataIn[2], kSenseIllegalRequest);
    EXPECT_EQ(sense.dataIn[12], kAscInvalidOpcode);
    EXPECT_EQ(Run({0x03, 0, 0, 0, 18, 0}, Direction::In, 18).dataIn[2], 0);  // read once
}

TEST_F(ScsiTargetTest, TheRamDiskHasItsCapacityAndKeepsWhatIsWritten) {
    const auto capacity = Run({0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Direction::In, 8);
    ASSERT_EQ(capacity.dataIn.size(), 8u);
    EXPECT_EQ(capacity.dataIn[3], 15);    // last block
    EXPECT_EQ(capacity.dataIn[6], 0x02);  // 512-byte blocks

    std::vector<std::uint8_t> block(512, 0x5A);
    EXPECT_EQ(Run({0x2A, 0, 0, 0, 0, 3, 0, 0, 1, 0}, Direction::Out, 512, block).outcome,
              Outcome::Good);
    EXPECT_EQ(Run({0x28, 0, 0, 0, 0, 3, 0, 0, 1, 0}, Direction::In, 512).dataIn, block);
    EXPECT_EQ(Run({0x28, 0, 0, 0, 0, 16, 0, 0, 1, 0}, Direction::In, 512).outcome,
              Outcome::CheckCondition);
    EXPECT_EQ(target.PendingSense().asc, kAscLbaOutOfRange);
}

TEST_F(ScsiTargetTest, ModeSenseReturnsTheCachingPageAndRefusesSavedValues) {
    const auto all = Run({0x1A, 0, 0x3F, 0, 192, 0}, Direction::In, 192);
    ASSERT_EQ(all.outcome, Outcome::Good);
    ASSERT_EQ(all.dataIn.size(), 24u);
    EXPECT_EQ(all.dataIn[0], 23);  // mode data length excludes itself
    EXPECT_EQ(all.dataIn[4], 0x08);
    const auto ten = Run({0x5A, 0, 0x08, 0, 0, 0, 0, 0, 255, 0}, Direction::In, 255);
    ASSERT_EQ(ten.dataIn.size(), 28u);
    EXPECT_EQ(ten.dataIn[1], 26);
    EXPECT_EQ(Run({0x1A, 0, 0xC8, 0, 192, 0}, Direction::In, 192).outcome, Outcome::CheckCondition);
    EXPECT_EQ(target.PendingSense().asc, kAscSavingNotSupported);
}

TEST_F(ScsiTargetTest, VendorCommandsReachTheProgrammerUnchanged) {
    std::vector<std::uint8_t> page(512, 0x00);
    const CommandBlock write = MakePageWrite(0x200, 512, Crc16Xmodem(page.data(), page.size()));
    EXPECT_EQ(target.Execute(WrapVendor(write, Direction::Out, 512), page).outcome, Outcome::Good);
    const auto status =
        target.Execute(WrapVendor(MakeStatusQuery(7, 0, 16), Direction::In, 16), {});
    ASSERT_EQ(status.dataIn.size(), 16u);
    EXPECT_EQ(status.dataIn[0], 0xFC);
    EXPECT_EQ(status.dataIn[1], 7);
    EXPECT_EQ(status.dataIn[2], 0);
    const auto log = programmer.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].address, 0x200u);
    EXPECT_EQ(log[0].transferLength, 512u);
}

TEST_F(ScsiTargetTest, AnOversizedVendorDataPhaseIsRefusedBeforeItReachesTheProgrammer) {
    const auto cbw = WrapVendor(MakePageRead(0, 512), Direction::In, 0x10001);
    EXPECT_EQ(target.IntentFor(cbw).direction, Direction::None);
    EXPECT_EQ(target.Execute(cbw, {}).outcome, Outcome::CheckCondition);
    EXPECT_EQ(target.PendingSense().asc, kAscInvalidFieldInCdb);
    EXPECT_TRUE(programmer.Log().empty());
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
    const Row rows[] = {
        {"a status reply cut short goes back as the two bytes that moved, GOOD",
         Failure(0, 0, 14),
         Outcome::Good,
         2,
         {}},
        {"a refused request is CHECK CONDITION with the programmer's sense",
         Failure(0, 2, 0, kSenseIllegalRequest),
         Outcome::CheckCondition,
         0,
         {kSenseIllegalRequest, kAscInvalidOpcode, 0}},
        {"a failure without sense is CHECK CONDITION with HARDWARE ERROR",
         Failure(0, 0, 0),
         Outcome::CheckCondition,
         0,
         {kSenseHardwareError, kAscInternalTargetFailure, 0}},
        {"a cut-short reply with a CHECK CONDITION stays a failure",
         Failure(0, 2, 14),
         Outcome::CheckCondition,
         0,
         {kSenseHardwareError, kAscInternalTargetFailure, 0}},
        {"a programmer that never answers leaves the command unanswered",
         Failure(ETIMEDOUT, 0, 16),
         Outcome::NoAnswer,
         0,
         {}},
        {"a programmer that fell off the bus makes the gadget go",
         Failure(ENODEV, 0, 0),
         Outcome::DeviceGone,
         0,
         {}},
    };
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
