#include "platform/linux/SgTransport.h"

#include <fcntl.h>
#include <scsi/sg.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "FakeSysCalls.h"

namespace tarnwick {
namespace {

using test::FakeSysCalls;
using test::kFd;
using ::testing::HasSubstr;

class SgTransportTest : public ::testing::Test {
  protected:
    Result<void> Send(DataDirection direction, const CommandBlock& cdb,
                      std::vector<std::uint8_t>& buffer, std::chrono::milliseconds timeout) {
        PassThroughRequest request;
        request.cdb = cdb;
        request.direction = direction;
        request.transferLength = static_cast<std::uint32_t>(buffer.size());
        request.buffer = buffer.data();
        request.timeout = timeout;
        return transport.Exchange(request);
    }
    Result<void> SendStatusQuery() {
        std::vector<std::uint8_t> reply(16);
        return Send(DataDirection::In, MakeStatusQuery(kSubWriteStatus, 0, 16), reply, kTimeoutIn);
    }

    FakeSysCalls sys;
    SgTransport transport{sys, kFd, "/dev/sg0"};
};

// In: ten seconds, out: forty, in milliseconds; the data never passes through a copy.
TEST_F(SgTransportTest, EachDirectionUsesTheCallersBufferAndItsTimeOut) {
    const auto check = [this](DataDirection direction, const CommandBlock& cdb, std::size_t length,
                              std::chrono::milliseconds timeout, int sgDirection,
                              unsigned milliseconds) {
        std::vector<std::uint8_t> buffer(length);
        ASSERT_TRUE(Send(direction, cdb, buffer, timeout));
        EXPECT_EQ(sys.seenFd, kFd);
        EXPECT_EQ(sys.seen.interface_id, 'S');
        EXPECT_EQ(sys.seen.dxfer_direction, sgDirection);
        EXPECT_EQ(sys.seen.cmd_len, 16) << "the kernel would send only 10 bytes of an 0xFD block";
        EXPECT_EQ(sys.seenCdb, cdb);
        EXPECT_EQ(sys.seen.mx_sb_len, 26);
        EXPECT_NE(sys.seen.sbp, nullptr);
        EXPECT_EQ(sys.seen.dxfer_len, length);
        EXPECT_EQ(sys.seen.dxferp, buffer.data());
        EXPECT_EQ(sys.seen.timeout, milliseconds);
    };
    check(DataDirection::In, MakePageRead(0x123400, 512), 512, kTimeoutIn, SG_DXFER_FROM_DEV,
          10'000);
    check(DataDirection::Out, MakePageWrite(0x1000, 2048, 0x31c3), 2048, kTimeoutOut,
          SG_DXFER_TO_DEV, 40'000);
}

TEST_F(SgTransportTest, OnlyAGoodStatusWithoutHostOrDriverErrorCountsAsSuccess) {
    struct Case {
        const char* what;
        int ioctlErrno;
        unsigned short host;
        unsigned short driver;
        unsigned char status;
        bool succeeds;
        const char* message;  // part of the fault's text
    };
    const std::vector<Case> cases = {
        {"clean", 0, 0, 0, 0x00, true, ""},
        {"sense available, status good", 0, 0, 0x08, 0x00, true, ""},
        {"device gone", ENODEV, 0, 0, 0x00, false, "SG_IO on /dev/sg0: No such device (ENODEV)"},
        {"host time-out", 0, 0x03, 0, 0x00, false, "DID_TIME_OUT), no answer within 10000 ms"},
        {"host no connect", 0, 0x01, 0, 0x00, false, "host adapter status 0x01 (DID_NO_CONNECT)"},
        {"driver error", 0, 0, 0x04, 0x00, false, "driver status 0x04 (DRIVER_ERROR)"},
        {"driver time-out with sense", 0, 0, 0x0e, 0x00, false,
         "(DRIVER_TIMEOUT|DRIVER_SENSE), no answer within 10000 ms"},
        {"check condition", 0, 0, 0x08, 0x02, false, "SG_IO on /dev/sg0: CHECK CONDITION"},
        {"busy", 0, 0, 0, 0x08, false, "BUSY"},
        {"reservation conflict", 0, 0, 0, 0x18, false, "RESERVATION CONFLICT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sys.ioctlErrno = c.ioctlErrno;
        sys.hostStatus = c.host;
        sys.driverStatus = c.driver;
        sys.scsiStatus = c.status;

        const Result<void> sent = SendStatusQuery();
        ASSERT_EQ(sent.has_value(), c.succeeds);
        if (!c.succeeds) {
            const Fault& fault = sent.error();
            EXPECT_EQ(fault.sysErrno, c.ioctlErrno);
            EXPECT_THAT(fault.Describe(), HasSubstr(c.message));
            if (c.ioctlErrno == 0) {
                EXPECT_EQ(fault.scsi.hostStatus, c.host);
                EXPECT_EQ(fault.scsi.driverStatus, c.driver);
                EXPECT_EQ(fault.scsi.scsiStatus, c.status);
            }
        }
    }
}

TEST_F(SgTransportTest, ACheckConditionKeepsTheStatusAndSenseBytesForTheMessage) {
    sys.driverStatus = 0x08;
    sys.scsiStatus = 0x02;
    sys.sense.assign(40, 0);  // more than offered: only 26 may land
    sys.sense[0] = 0x70;
    sys.sense[2] = 0x05;  // ILLEGAL REQUEST
    sys.sense[7] = 0x0a;
    sys.sense[12] = 0x20;  // invalid command operation code

    const Result<void> sent = SendStatusQuery();

    ASSERT_FALSE(sent);
    EXPECT_EQ(sent.error().scsi.senseLength, 26);
    EXPECT_THAT(sent.error().Describe(),
                HasSubstr("CHECK CONDITION, SCSI status 0x02, sense 70 00 05 00 00 00 00 0a 00 00 "
                          "00 00 20 00"));
}

// Without the residue the reply's tail, or a page that did not fully go out, would pass as good.
TEST_F(SgTransportTest, AShortTransferFailsInEitherDirectionAndSaysHowManyBytesMoved) {
    sys.resid = 14;
    const Result<void> status = SendStatusQuery();
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().scsi.residual, 14u);
    EXPECT_EQ(status.error().Describe(), "SG_IO on /dev/sg0: short transfer, 2 of 16 bytes moved");

    sys.resid = 512;
    std::vector<std::uint8_t> page(2048);
    const Result<void> write =
        Send(DataDirection::Out, MakePageWrite(0x1000, 2048, 0), page, kTimeoutOut);
    ASSERT_FALSE(write);
    EXPECT_EQ(write.error().Describe(),
              "SG_IO on /dev/sg0: short transfer, 1536 of 2048 bytes moved");
}

TEST(SgTransportOpen, OpensReadWriteCloseOnExecAndBlockingAndClosesOnceWhenTheLastUserLetsGo) {
    FakeSysCalls sys;
    auto opened = SgTransport::Open(sys, "/dev/sg2");
    ASSERT_TRUE(opened);
    std::shared_ptr<PassThrough> discoverysReference = std::move(*opened);
    EXPECT_EQ(sys.openFlags & O_ACCMODE, O_RDWR);
    EXPECT_NE(sys.openFlags & O_CLOEXEC, 0);
    EXPECT_EQ(sys.fdFlags & O_NONBLOCK, 0) << "requests must not run on a non-blocking descriptor";

    auto jobsReference = discoverysReference;
    discoverysReference.reset();
    EXPECT_TRUE(sys.closed.empty()) << "closed under a running job";
    jobsReference.reset();
    EXPECT_EQ(sys.closed, std::vector<int>{kFd});
}

}  // namespace
}  // namespace tarnwick
