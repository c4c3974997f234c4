// The SG_IO transport against a kernel whose every answer the fuzz input decides: the ioctl's
// failure, the host, driver and SCSI statuses, the residue and the sense length. SgTransportTest
// pins what each kind of fault says; here the oracle is the pass-through contract over every mix:
// an exchange succeeds exactly when the ioctl did, nobody reported an error and every byte of the
// data phase moved, and a fault never claims more than the kernel gave.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "FakeSysCalls.h"
#include "FuzzOracle.h"
#include "platform/linux/SgTransport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    using testing::Expect;
    FuzzedDataProvider in(data, size);
    testing::FakeSysCalls kernel;
    SgTransport transport(kernel, testing::kFd, "/dev/sg0");
    while (in.remaining_bytes() > 0) {
        std::vector<std::uint8_t> buffer(in.ConsumeIntegralInRange<std::size_t>(0, 600));
        const auto direction = in.ConsumeBool() ? DataDirection::In : DataDirection::Out;
        const auto timeout = std::chrono::milliseconds(in.ConsumeIntegral<std::uint16_t>());
        const auto length = static_cast<std::uint32_t>(buffer.size());
        kernel.ioctlErrno = in.ConsumeBool() ? EIO : 0;
        if (kernel.ioctlErrno == 0) {
            // Mostly clean answers, so that the success path is reached too.
            const bool clean = in.ConsumeBool();
            kernel.scsiStatus = clean ? 0 : in.ConsumeIntegral<std::uint8_t>();
            kernel.hostStatus = clean ? 0 : in.ConsumeIntegralInRange<std::uint16_t>(0, 0x10);
            kernel.driverStatus = in.ConsumeIntegralInRange<std::uint16_t>(0, clean ? 0 : 0x30);
            kernel.resid = in.ConsumeBool() ? 0 : in.ConsumeIntegral<int>();
            kernel.sense.assign(in.ConsumeIntegral<std::uint8_t>(), 0x70);
        }
        const bool whole = kernel.ioctlErrno == 0 && kernel.scsiStatus == 0 &&
                           kernel.hostStatus == 0 && (kernel.driverStatus & ~0x08u) == 0 &&
                           kernel.resid <= 0;
        const Result<void> ok = transport.Exchange(
            {{}, direction, length, buffer.empty() ? nullptr : buffer.data(), timeout});

        Expect(ok.has_value() == whole,
               "success other than a clean exchange that moved every byte");
        Expect(ok || !ok.error().cause.empty(), "a failure without a cause");
        Expect(ok || ok.error().scsi.residual <= length, "a residue beyond the data phase");
        Expect(ok || ok.error().scsi.senseLength <=
                         std::min<std::size_t>(kernel.sense.size(), kernel.seen.mx_sb_len),
               "more sense bytes than the kernel wrote");
    }
    return 0;
}
