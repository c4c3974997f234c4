#include "platform/linux/SgTransport.h"

#include <fcntl.h>
#include <scsi/sg.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "FakeSysCalls.h"

namespace tarnwick {
namespace {

using testing::FakeSysCalls;
using testing::kFd;

struct SgTransportTest : ::testing::Test {
    Result<void> Send(DataDirection direction, const CommandBlock& cdb,
                      std::vector<std::uint8_t>& buffer, std::chrono::milliseconds timeout) {
        return transport.Exchange(
            {cdb, direction, static_cast<std::uint32_t>(buffer.size()), buffer.data(), timeout});
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
        EXPECT_EQ(sys.seen.dxfer_direction, sgDirection);
        EXPECT_EQ(sys.seen.cmd_len, 16) << "the kernel would send only 10 bytes of an 0xFD block";
        EXPECT_EQ(sys.seenCdb, cdb);
        EXPECT_EQ(sys.seen.dxfer_len, length);
        EXPECT_EQ(sys.seen.dxferp, buffer.data());
        EXPECT_EQ(sys.seen.timeout, milliseconds);
    };
    check(DataDirection::In, MakePageRead(0x123400, 512), 512, kTimeoutIn, SG_DXFER_FROM_DEV,
          10'000);
    check(DataDirection::Out, MakePageWrite(0x1000, 2048, 0x31c3), 2048, kTimeoutOut,
          SG_DXFER_TO_DEV, 40'000);
}

// Success only for a good status without host or driver error and with every byte moved: a
// CHECK CONDITION would leave a reply buffer holding nothing the device sent, a short transfer
// the reply's tail or a page that did not fully go out. The fault keeps what the kernel said.
// The rule over every mix of answers is fuzz_sg_transport's; here what each kind of fault says.
TEST_F(SgTransportTest, OnlyAGoodStatusWithoutHostOrDriverErrorAndWithoutResidueSucceeds) {
    const std::vector<std::uint8_t> sense = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x20};
    const struct {
        int ioctlErrno;
        unsigned short host, driver;
        unsigned char status;
        int resid;
        const char* fault;  // the whole text; empty for success
    } cases[] = {
        {0, 0, 0x08, 0x00, 0, ""},  // sense available, status good
        {ENODEV, 0, 0, 0x00, 0, "SG_IO on /dev/sg0: No such device (ENODEV)"},
        {0, 0x03, 0, 0x00, 0,
         "SG_IO on /dev/sg0: host adapter status 0x03 (DID_TIME_OUT), no answer within 10000 ms"},
        {0, 0, 0x0e, 0x00, 0,
         "SG_IO on /dev/sg0: driver status 0x0e (DRIVER_TIMEOUT|DRIVER_SENSE), no answer within "
         "10000 ms"},
        {0, 0, 0x08, 0x02, 0,
         "SG_IO on /dev/sg0: CHECK CONDITION, SCSI status 0x02, sense 70 00 05 00 00 00 00 0a 00 "
         "00 00 00 20"},
        {0, 0, 0, 0x00, 14, "SG_IO on /dev/sg0: short transfer, 2 of 16 bytes moved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        sys = {};
        sys.ioctlErrno = c.ioctlErrno;
        sys.hostStatus = c.host;
        sys.driverStatus = c.driver;
        sys.scsiStatus = c.status;
        sys.resid = c.resid;
        sys.sense = c.status == 0x02 ? sense : std::vector<std::uint8_t>{};
        const Result<void> sent = SendStatusQuery();
        ASSERT_EQ(sent.has_value(), *c.fault == '\0');
        if (!sent) {
            EXPECT_EQ(sent.error().Describe(), c.fault);
            EXPECT_EQ(sent.error().sysErrno, c.ioctlErrno);
            EXPECT_EQ(sent.error().scsi.residual, static_cast<std::uint32_t>(c.resid));
        }
    }
    sys = {};
    sys.sense.assign(40, 0x11);  // more than offered: only 26 may land
    sys.scsiStatus = 0x02;
    EXPECT_EQ(SendStatusQuery().error().scsi.senseLength, 26);
}

// That a device stays open while a job still holds it is ProgrammerDiscoveryTest's.
TEST(SgTransportOpen, OpensReadWriteCloseOnExecAndBlockingAndClosesOnceWhenItGoes) {
    FakeSysCalls sys;
    auto opened = SgTransport::Open(sys, "/dev/sg2");
    ASSERT_TRUE(opened);
    EXPECT_EQ(sys.openFlags & O_ACCMODE, O_RDWR);
    EXPECT_NE(sys.openFlags & O_CLOEXEC, 0);
    EXPECT_EQ(sys.fdFlags & O_NONBLOCK, 0) << "requests must not run on a non-blocking descriptor";
    opened->reset();
    EXPECT_EQ(sys.closed, std::vector<int>{kFd});
}

}  // namespace
}  // namespace tarnwick
