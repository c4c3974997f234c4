// The SG_IO transport against a kernel whose every answer the fuzz input decides: the ioctl's
// failure, the host, driver and SCSI statuses, the residue, the sense bytes and the data moved.
// The oracle is the pass-through contract: an exchange succeeds exactly when the ioctl did,
// nobody reported an error and every byte of the data phase moved.
#include <fuzzer/FuzzedDataProvider.h>
#include <scsi/sg.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/linux/SgTransport.h"

namespace tarnwick {
namespace {

void Expect(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "oracle violated: %s\n", what);
        std::abort();
    }
}

constexpr unsigned kDriverSense = 0x08;  // the driver's "sense data is there", no error

// What the kernel answered to the last SG_IO.
struct Answer {
    bool ioctlOk = false;
    bool clean = false;  // no status reported an error
    int resid = 0;
    std::vector<std::uint8_t> sense;
};

class FuzzKernel final : public SysCalls {
  public:
    explicit FuzzKernel(FuzzedDataProvider& input) : in(input) {}

    int Open(const char*, int) override { return 3; }
    int Close(int) override { return 0; }
    int GetFlags(int) override { return 0; }
    int SetFlags(int, int) override { return 0; }
    int Fstat(int, struct stat*) override { return -1; }

    int SgIo(int, sg_io_hdr* h) override {
        Expect(h->interface_id == 'S' && h->cmd_len == 16 && h->cmdp != nullptr &&
                   h->sbp != nullptr && h->mx_sb_len > 0,
               "a malformed SG_IO header");
        answer = {};
        const int mode = in.ConsumeIntegralInRange(0, 3);
        if (mode == 0) {
            errno = in.PickValueInArray({EIO, ENODEV, EACCES, EINTR, ENOMEM});
            return -1;
        }
        answer.ioctlOk = true;
        h->status = 0;
        h->host_status = 0;
        h->driver_status = 0;
        h->resid = 0;
        h->sb_len_wr = 0;
        if (mode == 2 && h->dxfer_len > 0) {  // short, but otherwise good
            h->resid = in.ConsumeIntegralInRange<int>(1, static_cast<int>(h->dxfer_len));
        } else if (mode == 3) {  // anything a driver may say
            h->status = in.ConsumeIntegral<std::uint8_t>();
            h->host_status = in.ConsumeIntegralInRange<std::uint16_t>(0, 0x10);
            h->driver_status = in.ConsumeIntegralInRange<std::uint16_t>(0, 0x30);
            h->resid = in.ConsumeIntegral<int>();
            h->sb_len_wr = in.ConsumeIntegral<std::uint8_t>();
        }
        // The kernel writes at most the sense area offered, whatever it then reports.
        const unsigned written = std::min<unsigned>(h->sb_len_wr, h->mx_sb_len);
        answer.sense = in.ConsumeBytes<std::uint8_t>(written);
        answer.sense.resize(written);
        std::copy(answer.sense.begin(), answer.sense.end(), h->sbp);
        if (h->dxfer_direction == SG_DXFER_FROM_DEV && h->dxfer_len > 0) {
            const auto moved = static_cast<std::size_t>(
                std::clamp<long>(long{h->dxfer_len} - h->resid, 0, long{h->dxfer_len}));
            std::fill_n(static_cast<std::uint8_t*>(h->dxferp), moved, 0xA5);
        }
        answer.clean =
            h->status == 0 && h->host_status == 0 && (h->driver_status & ~kDriverSense) == 0;
        answer.resid = h->resid;
        return 0;
    }

    Answer answer;

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
        PassThroughRequest request;
        request.direction = in.ConsumeBool() ? DataDirection::In : DataDirection::Out;
        request.transferLength = in.ConsumeIntegralInRange<std::uint32_t>(0, 600);
        std::vector<std::uint8_t> buffer(request.transferLength);
        request.buffer = buffer.empty() ? nullptr : buffer.data();
        request.timeout = std::chrono::milliseconds(in.ConsumeIntegral<std::uint16_t>());
        kernel.answer = {};
        const Result<void> ok = transport.Exchange(request);
        const ScsiDetail fault = ok ? ScsiDetail{} : ok.error().scsi;

        const Answer& a = kernel.answer;
        const bool whole = a.ioctlOk && a.clean && a.resid <= 0;
        Expect(ok.has_value() == whole,
               "success other than a clean exchange that moved every byte");
        Expect(ok || !ok.error().cause.empty(), "a failure without a cause");
        Expect(fault.residual <= request.transferLength, "a residue beyond the data phase");
        Expect(!a.ioctlOk || !a.clean || a.resid <= 0 ||
                   fault.residual == std::min<std::uint32_t>(static_cast<std::uint32_t>(a.resid),
                                                             request.transferLength),
               "a short transfer without its residue");
        Expect(fault.senseLength <= a.sense.size() &&
                   std::equal(a.sense.begin(), a.sense.begin() + fault.senseLength,
                              fault.sense.begin()),
               "sense bytes other than the kernel wrote");
    }
    return 0;
}
