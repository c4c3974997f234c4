// The SG_IO transport against a kernel whose every answer the fuzz input decides: the ioctl's
// failure, the host, driver and SCSI statuses, the residue and the sense length. SgTransportTest
// pins each status's text; here the oracle is the pass-through contract over every mix: an
// exchange succeeds exactly when the ioctl did, nobody reported an error and every byte of the
// data phase moved, and a fault never claims more than the kernel gave.
#include <fuzzer/FuzzedDataProvider.h>
#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "FuzzOracle.h"
#include "platform/linux/SgTransport.h"

namespace tarnwick {
namespace {

using testing::Expect;

class FuzzKernel final : public SysCalls {
  public:
    explicit FuzzKernel(FuzzedDataProvider& input) : in(input) {}

    int Open(const char*, int) override { return 3; }
    int Close(int) override { return 0; }
    int GetFlags(int) override { return 0; }
    int SetFlags(int, int) override { return 0; }
    int Fstat(int, struct stat*) override { return -1; }

    int SgIo(int, sg_io_hdr* h) override {
        whole = false;
        senseWritten = 0;
        if (in.ConsumeBool()) {
            errno = EIO;
            return -1;
        }
        // Mostly clean answers, so that the success path is reached too.
        const bool clean = in.ConsumeBool();
        h->status = clean ? 0 : in.ConsumeIntegral<std::uint8_t>();
        h->host_status = clean ? 0 : in.ConsumeIntegralInRange<std::uint16_t>(0, 0x10);
        h->driver_status = in.ConsumeIntegralInRange<std::uint16_t>(0, clean ? 0 : 0x30);
        h->resid = in.ConsumeBool() ? 0 : in.ConsumeIntegral<int>();
        h->sb_len_wr = in.ConsumeIntegral<std::uint8_t>();
        // The kernel writes at most the sense area offered, and all of the data phase at most;
        // AddressSanitizer proves both areas are that large.
        senseWritten = std::min<unsigned>(h->sb_len_wr, h->mx_sb_len);
        std::fill_n(h->sbp, senseWritten, 0x70);
        if (h->dxfer_direction == SG_DXFER_FROM_DEV) {
            std::fill_n(static_cast<std::uint8_t*>(h->dxferp), h->dxfer_len, 0xA5);
        }
        whole = h->status == 0 && h->host_status == 0 && (h->driver_status & ~0x08u) == 0 &&
                h->resid <= 0;
        return 0;
    }

    bool whole = false;
    unsigned senseWritten = 0;

  private:
    FuzzedDataProvider& in;
};

}  // namespace
}  // namespace tarnwick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    FuzzedDataProvider in(data, size);
    FuzzKernel kernel(in);
    SgTransport transport(kernel, 3, "/dev/sg0");
    while (in.remaining_bytes() > 0) {
        std::vector<std::uint8_t> buffer(in.ConsumeIntegralInRange<std::size_t>(0, 600));
        const auto direction = in.ConsumeBool() ? DataDirection::In : DataDirection::Out;
        const auto timeout = std::chrono::milliseconds(in.ConsumeIntegral<std::uint16_t>());
        const auto length = static_cast<std::uint32_t>(buffer.size());
        kernel.whole = false;
        const Result<void> ok = transport.Exchange(
            {{}, direction, length, buffer.empty() ? nullptr : buffer.data(), timeout});

        Expect(ok.has_value() == kernel.whole,
               "success other than a clean exchange that moved every byte");
        Expect(ok || !ok.error().cause.empty(), "a failure without a cause");
        Expect(ok || ok.error().scsi.residual <= length, "a residue beyond the data phase");
        Expect(ok || ok.error().scsi.senseLength <= kernel.senseWritten,
               "more sense bytes than the kernel wrote");
    }
    return 0;
}
