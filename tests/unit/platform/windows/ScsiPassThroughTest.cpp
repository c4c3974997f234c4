#include "platform/windows/ScsiPassThrough.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "FakeWin32Calls.h"
#include "link/CommandBlock.h"

namespace tarnwick {
namespace {

using testing::FakeWin32Calls;
using testing::kDevice;

struct ScsiPassThroughTest : ::testing::Test {
    Result<void> Send(DataDirection direction, const CommandBlock& cdb,
                      std::vector<std::uint8_t>& buffer, std::chrono::milliseconds timeout) {
        return device.Exchange(
            {cdb, direction, static_cast<std::uint32_t>(buffer.size()), buffer.data(), timeout});
    }

    FakeWin32Calls calls;
    ScsiPassThrough device{calls, kDevice, "\\\\.\\PHYSICALDRIVE3"};
};

// In: ten seconds, out: forty; all sixteen command bytes; the data never passes through a copy;
// the sense area lies inside the block handed over, behind the request.
TEST_F(ScsiPassThroughTest, EachDirectionFillsTheRequestWithTheCallersBufferAndItsTimeOut) {
    const struct {
        DataDirection direction;
        CommandBlock cdb;
        std::size_t length;
        std::chrono::milliseconds timeout;
        UCHAR dataIn;
        ULONG seconds;
    } cases[] = {
        {DataDirection::In, MakePageRead(0x123400, 512), 512, kTimeoutIn, SCSI_IOCTL_DATA_IN, 10},
        {DataDirection::Out, MakePageWrite(0x1000, 2048, 0x31c3), 2048, kTimeoutOut,
         SCSI_IOCTL_DATA_OUT, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        std::vector<std::uint8_t> buffer(c.length);
        calls.passThrough = [&](SCSI_PASS_THROUGH_DIRECT& r, std::uint8_t*) {
            r.DataTransferLength = static_cast<ULONG>(c.length);
            return true;
        };
        ASSERT_TRUE(Send(c.direction, c.cdb, buffer, c.timeout));
        const SCSI_PASS_THROUGH_DIRECT& seen = calls.seen;
        EXPECT_EQ(calls.codes.back(), IOCTL_SCSI_PASS_THROUGH_DIRECT);
        EXPECT_EQ(seen.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
        EXPECT_EQ(seen.CdbLength, 16);
        EXPECT_TRUE(std::equal(c.cdb.begin(), c.cdb.end(), seen.Cdb));
        EXPECT_EQ(seen.DataIn, c.dataIn);
        EXPECT_EQ(seen.DataTransferLength, c.length);
        EXPECT_EQ(seen.DataBuffer, buffer.data());
        EXPECT_EQ(seen.TimeOutValue, c.seconds);
        EXPECT_EQ(seen.SenseInfoLength, ScsiPassThrough::kSenseLength);
        EXPECT_GE(seen.SenseInfoOffset, sizeof(SCSI_PASS_THROUGH_DIRECT));
        EXPECT_LE(seen.SenseInfoOffset + seen.SenseInfoLength, calls.seenSize);
    }
}

// Success only when the call succeeded, the status is GOOD and the whole transfer moved. A
// refused access says to run as administrator, a drive that has gone says so; the fault keeps
// the status and the sense bytes the driver put behind the request.
TEST_F(ScsiPassThroughTest, OnlyASucceededCallWithGoodStatusAndTheWholeTransferSucceeds) {
    const std::vector<std::uint8_t> sense = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x20};
    const struct {
        DWORD callError;  // 0: the call succeeds
        UCHAR status;
        ULONG moved;
        const char* fault;  // a part of the text; empty for success
        int sysErrno;
    } cases[] = {
        {0, 0x00, 16, "", 0},
        {ERROR_ACCESS_DENIED, 0, 0, "run tarnwick-cli as administrator", EACCES},
        {ERROR_DEVICE_NOT_CONNECTED, 0, 0, "the programmer is not there", ENODEV},
        {kErrorNoSuchDevice, 0, 0, "the programmer is not there", ENODEV},
        {ERROR_FILE_NOT_FOUND, 0, 0, "the programmer is not there", ENODEV},
        {0, 0x02, 16, "SCSI pass-through on \\\\.\\PHYSICALDRIVE3: CHECK CONDITION", 0},
        {0, 0x00, 2,
         "SCSI pass-through on \\\\.\\PHYSICALDRIVE3: short transfer, 2 of 16 bytes moved", 0},
        {0, 0x00, 0, "short transfer, 0 of 16 bytes moved", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        calls.callError = c.callError;
        calls.passThrough = [&](SCSI_PASS_THROUGH_DIRECT& r, std::uint8_t* block) {
            // As the driver does: the sense length becomes what it wrote there.
            r.ScsiStatus = c.status;
            r.DataTransferLength = c.moved;
            r.SenseInfoLength = 0;
            if (c.status != 0) {
                std::copy(sense.begin(), sense.end(), block + r.SenseInfoOffset);
                r.SenseInfoLength = static_cast<UCHAR>(sense.size());
            }
            return c.callError == 0;
        };
        std::vector<std::uint8_t> reply(16);
        const Result<void> r =
            Send(DataDirection::In, MakeStatusQuery(kSubWriteStatus, 0, 16), reply, kTimeoutIn);
        if (*c.fault == '\0') {
            EXPECT_TRUE(r) << r.error().Describe();
            continue;
        }
        ASSERT_FALSE(r);
        EXPECT_NE(r.error().Describe().find(c.fault), std::string::npos) << r.error().Describe();
        EXPECT_EQ(r.error().sysErrno, c.sysErrno);
        EXPECT_EQ(r.error().scsi.scsiStatus, c.status);
        EXPECT_EQ(r.error().scsi.residual, c.callError == 0 ? 16 - c.moved : 0);
        const std::vector<std::uint8_t> kept(
            r.error().scsi.sense.begin(),
            r.error().scsi.sense.begin() + r.error().scsi.senseLength);
        EXPECT_EQ(kept, c.status != 0 ? sense : std::vector<std::uint8_t>{});
    }
}

}  // namespace
}  // namespace tarnwick
