// The gadget's transport and SCSI logic on bytes, without a kernel: what the e2e guest relies on
// when the host's usb-storage talks to it.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "emulator/EmulatedProgrammer.h"
#include "emulator/gadget/BulkOnly.h"
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

TEST_F(ScsiTargetTest, AMalformedVendorCommandComesBackAsIllegalRequest) {
    CommandBlock cdb = MakeStatusQuery(1, 0, 16);
    cdb[15] = 0xAA;
    EXPECT_EQ(target.Execute(WrapVendor(cdb, Direction::In, 16), {}).outcome,
              Outcome::CheckCondition);
    EXPECT_EQ(target.PendingSense().key, kSenseIllegalRequest);
}

TEST_F(ScsiTargetTest, AnOversizedVendorDataPhaseIsRefusedBeforeItReachesTheProgrammer) {
    const auto cbw = WrapVendor(MakePageRead(0, 512), Direction::In, 0x10001);
    EXPECT_EQ(target.IntentFor(cbw).direction, Direction::None);
    EXPECT_EQ(target.Execute(cbw, {}).outcome, Outcome::CheckCondition);
    EXPECT_EQ(target.PendingSense().asc, kAscInvalidFieldInCdb);
    EXPECT_TRUE(programmer.Log().empty());
}

TEST_F(ScsiTargetTest, AMutedLinkQueryIsNeverAnswered) {
    FaultPlan plan;
    plan.muteLinkQuery = true;
    programmer.SetFaults(plan);
    EXPECT_EQ(target.Execute(WrapVendor(MakeStatusQuery(1, 0, 16), Direction::In, 16), {}).outcome,
              Outcome::NoAnswer);
}

TEST_F(ScsiTargetTest, AProgrammerThatFellOffTheBusMakesTheGadgetGo) {
    FaultPlan plan;
    plan.dropAfterCommands = 0;
    programmer.SetFaults(plan);
    EXPECT_EQ(target.Execute(WrapVendor(MakeStatusQuery(1, 0, 16), Direction::In, 16), {}).outcome,
              Outcome::DeviceGone);
}

}  // namespace
}  // namespace tarnwick::gadget
