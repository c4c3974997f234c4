#include <gtest/gtest.h>

#include "emulator/EmulatedProgrammer.h"
#include "link/CCodeProgram.h"

namespace tarnwick {
namespace {

struct EmulatedProgrammerTest : ::testing::Test {
    std::shared_ptr<EmulatedProgrammer> device = std::make_shared<EmulatedProgrammer>(0x40000);
    CCodeProgram program;
    std::vector<std::uint8_t> page = std::vector<std::uint8_t>(512, 0x42);
    void SetUp() override { program.SetDevice(device); }
    std::int32_t WriteAndAsk(std::int32_t address) {
        program.WriteFlash(address, 512, page.data());
        std::int32_t status = -1;
        EXPECT_TRUE(program.GetWriteStatus(status));
        return status;
    }
};

TEST_F(EmulatedProgrammerTest, TakesAPageWhoseCrcMatchesAndReadsItBack) {
    std::int32_t link = 0;
    ASSERT_TRUE(program.GetLinkStatus(link));
    EXPECT_EQ(link, EmulatedProgrammer::kLinkOnline);
    EXPECT_EQ(WriteAndAsk(0x200), 0);
    std::vector<std::uint8_t> back(512);
    ASSERT_TRUE(program.ReadFlash(0x200, back.data(), 512));
    EXPECT_EQ(back, page);
    EXPECT_TRUE(device->Violations().empty());
}

TEST_F(EmulatedProgrammerTest, AsksAgainForAPageDamagedOnTheWay) {
    struct Corrupting : PassThrough {
        std::shared_ptr<PassThrough> inner;
        bool Exchange(const PassThroughRequest& r, TransferFault* f) override {
            PassThroughRequest copy = r;
            if (copy.cdb[0] == kOpPageWrite && copy.cdb[1] == kSubWrite) {
                copy.cdb[9] ^= 1;  // the CRC no longer matches the data
            }
            return inner->Exchange(copy, f);
        }
    };
    auto corrupting = std::make_shared<Corrupting>();
    corrupting->inner = device;
    program.SetDevice(corrupting);
    EXPECT_EQ(WriteAndAsk(0), 1);
    EXPECT_EQ(device->FlashBytes(0, 1), std::vector<std::uint8_t>{0xFF}) << "nothing programmed";
}

TEST_F(EmulatedProgrammerTest, ReportsAProgrammingFaultForAPageWrittenOverOldData) {
    EXPECT_EQ(WriteAndAsk(0), 0);
    page.assign(512, 0xBD);
    EXPECT_EQ(WriteAndAsk(0), 2) << "not erased in between";
    ASSERT_TRUE(program.EraseBlock(0));
    EXPECT_EQ(WriteAndAsk(0), 0);
}

TEST_F(EmulatedProgrammerTest, InjectsResendsPermanentFailuresAndGarbledReplies) {
    FaultPlan plan;
    plan.resendPage = {{0x400, 2}};
    plan.failPage = {0x600};
    plan.malformedStatus = {{0x800, 1}};
    device->SetFaults(plan);
    EXPECT_EQ(WriteAndAsk(0x400), 1);
    EXPECT_EQ(WriteAndAsk(0x400), 1);
    EXPECT_EQ(WriteAndAsk(0x400), 0);
    EXPECT_EQ(WriteAndAsk(0x600), 2);

    program.WriteFlash(0x800, 512, page.data());
    std::int32_t status = 9;
    EXPECT_FALSE(program.GetWriteStatus(status));
    EXPECT_TRUE(program.GetWriteStatus(status));
    EXPECT_EQ(status, 0);
}

TEST_F(EmulatedProgrammerTest, FailsChosenWriteRequestsAndCutsChosenStatusRepliesShort) {
    FaultPlan plan;
    plan.failWriteRequest = {{0x200, 1}};
    plan.shortStatus = {{0x400, 1}};
    device->SetFaults(plan);
    EXPECT_EQ(WriteAndAsk(0), 0);

    // Lost on the way: nothing programmed, and the status still tells of the page before.
    EXPECT_FALSE(program.WriteFlash(0x200, 512, page.data()));
    EXPECT_EQ(program.LastFault().scsiStatus, 0x02) << "CHECK CONDITION";
    EXPECT_EQ(program.LastFault().sense[2], 0x0B) << "ABORTED COMMAND";
    EXPECT_EQ(device->FlashBytes(0x200, 1), std::vector<std::uint8_t>{0xFF});
    std::int32_t status = 9;
    EXPECT_TRUE(program.GetWriteStatus(status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(WriteAndAsk(0x200), 0);
    EXPECT_EQ(device->FlashBytes(0x200, 512), page);

    // Only the echo moves; the rest of the buffer keeps what it held.
    program.WriteFlash(0x400, 512, page.data());
    PassThroughRequest query;
    query.cdb = MakeStatusQuery(kSubWriteStatus, 0, 16);
    std::vector<std::uint8_t> reply(16, 0xEE);
    query.buffer = reply.data();
    query.transferLength = 16;
    TransferFault fault;
    EXPECT_FALSE(device->Exchange(query, &fault));
    EXPECT_EQ(fault.residual, 14u);
    EXPECT_EQ(fault.what, "short transfer, 2 of 16 bytes moved");
    EXPECT_EQ(std::vector<std::uint8_t>(reply.begin(), reply.begin() + 3),
              (std::vector<std::uint8_t>{0xFC, 0x07, 0xEE}));
    EXPECT_TRUE(device->Exchange(query, &fault)) << "only the next N replies";
    EXPECT_EQ(reply[2], 0);
    EXPECT_TRUE(device->Violations().empty());
}

TEST_F(EmulatedProgrammerTest, FailsTheChosenEraseAndTheMutedLinkQuery) {
    FaultPlan plan;
    plan.failEraseBlock = 1;
    plan.muteLinkQuery = true;
    device->SetFaults(plan);
    EXPECT_TRUE(program.EraseBlock(0));
    EXPECT_FALSE(program.EraseBlock(0x10000));
    EXPECT_EQ(program.ReplyBuffer()[1], 0x01);
    std::int32_t link = 7;
    EXPECT_FALSE(program.GetLinkStatus(link));
    EXPECT_EQ(link, 7) << "an unanswered query is a failed request, not a malformed reply";
}

TEST_F(EmulatedProgrammerTest, FallsOffTheBusAfterTheChosenNumberOfCommands) {
    FaultPlan plan;
    plan.dropAfterCommands = 2;
    device->SetFaults(plan);
    std::int32_t link = 0;
    EXPECT_TRUE(program.GetLinkStatus(link));
    EXPECT_TRUE(program.EraseBlock(0));
    EXPECT_FALSE(program.EraseBlock(0x10000));
    EXPECT_FALSE(program.GetLinkStatus(link));
    EXPECT_NE(program.LastFault().what.find("device gone"), std::string::npos);
    EXPECT_EQ(device->Log().size(), 2u) << "nothing reaches a device that is gone";
    device->SetPresent(true);
    EXPECT_TRUE(program.GetLinkStatus(link)) << "plugged in again";
}

TEST_F(EmulatedProgrammerTest, LogsWhatItReceivedAndFlagsMalformedRequests) {
    ASSERT_TRUE(program.EraseBlock(0x20000));
    EXPECT_EQ(device->Log().back(), (LoggedCommand{0xFB, 0x00, 0x20000, 0, 16, 0}));

    PassThroughRequest bad;
    bad.cdb = MakePageRead(0, 512);
    bad.cdb[12] = 1;
    std::vector<std::uint8_t> buffer(512);
    bad.buffer = buffer.data();
    bad.transferLength = 512;
    TransferFault fault;
    EXPECT_FALSE(device->Exchange(bad, &fault));
    EXPECT_EQ(fault.scsiStatus, 0x02) << "CHECK CONDITION";
    EXPECT_EQ(fault.sense[2], 0x05) << "ILLEGAL REQUEST";

    bad.cdb = MakePageRead(0, 512);
    bad.direction = DataDirection::Out;
    EXPECT_FALSE(device->Exchange(bad, &fault));

    bad.cdb = MakePageRead(0, 512);
    bad.direction = DataDirection::In;
    bad.transferLength = 256;
    EXPECT_FALSE(device->Exchange(bad, &fault)) << "data phase shorter than the block says";
    EXPECT_EQ(device->Violations().size(), 3u);
}

}  // namespace
}  // namespace tarnwick
