// Device replies, as the fuzz input decides them, fed through the programming job. Each
// exchange succeeds, or fails with part of its data phase moved; a delivered reply is the right
// one, the right one with a byte changed, or raw input bytes.
// The oracle: nothing is reported as written that the programmer did not confirm.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "FuzzOracle.h"
#include "TempFile.h"
#include "jobs/ProgramJob.h"
#include "link/CommandBlock.h"

namespace tarnwick {
namespace {

// Two full pages and a short one, so the last write is partial.
constexpr std::uint32_t kFileLength = 2 * kPageSize + 276;

using testing::Expect;

// Made once; libFuzzer ends through exit(), so the file and its directory go with it.
const std::string& FirmwarePathOnce() {
    static const testing::TempFile file(std::vector<std::uint8_t>(kFileLength, 0x5a));
    return file.Path();
}

// Which pages the device confirmed: a delivered fc 07 00 after a delivered write of the page.
struct Ledger {
    std::map<std::uint32_t, bool> confirmed;
    std::optional<std::uint32_t> deliveredWrite;  // the last write, when it was delivered

    bool ConfirmedUpTo(std::uint64_t end) const {
        for (std::uint32_t a = 0; a < end; a += kPageSize) {
            if (!confirmed.contains(a) || !confirmed.at(a)) {
                return false;
            }
        }
        return true;
    }
};

class FuzzDevice : public PassThrough {
  public:
    FuzzDevice(FuzzedDataProvider& input, Ledger& ledger) : in(input), book(ledger) {}

    Result<void> Exchange(const PassThroughRequest& request) override {
        const DecodedCommand cmd = DecodeCommand(request.cdb);
        const std::uint32_t length = request.transferLength;
        auto* buffer = static_cast<std::uint8_t*>(request.buffer);
        std::vector<std::uint8_t> reply(length);  // a healthy programmer's answer
        if (length >= 3 && cmd.op == kOpStatus) {
            reply = {kOpStatus, cmd.sub, static_cast<std::uint8_t>(cmd.sub == kSubLinkStatus)};
            reply.resize(length);
        } else if (length >= 2 && cmd.op == kOpPageWrite && cmd.sub == kSubErase) {
            reply[0] = kOpPageWrite;
        }
        Result<void> ok;
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0: {  // failed, after part of the data phase moved
                const auto moved = in.ConsumeIntegralInRange<std::uint32_t>(0, length);
                if (request.direction == DataDirection::In) {
                    std::copy_n(reply.begin(), moved, buffer);
                }
                ok = Fail("fuzzed failure");
                ok.error().scsi.residual = length - moved;
                break;
            }
            case 1:
                break;
            case 2:
                if (length > 0) {
                    reply[in.ConsumeIntegralInRange<std::uint32_t>(0, length - 1)] =
                        in.ConsumeIntegral<std::uint8_t>();
                }
                break;
            default:
                reply = in.ConsumeBytes<std::uint8_t>(length);
                reply.resize(length);
                break;
        }
        if (ok && request.direction == DataDirection::In) {
            std::copy(reply.begin(), reply.end(), buffer);
        }
        if (cmd.op == kOpPageWrite && cmd.sub == kSubWrite) {
            book.deliveredWrite = ok ? std::optional(cmd.address) : std::nullopt;
            book.confirmed[cmd.address] = false;
        } else if (cmd.op == kOpStatus && cmd.sub == kSubWriteStatus && ok && book.deliveredWrite &&
                   reply.size() >= 3 && reply[0] == kOpStatus && reply[1] == kSubWriteStatus &&
                   reply[2] == 0) {
            book.confirmed[*book.deliveredWrite] = true;
        }
        return ok;
    }

  private:
    FuzzedDataProvider& in;
    Ledger& book;
};

struct Watcher : DisplaySink, MessageBoxSink, ProgressObserver {
    explicit Watcher(const Ledger& ledger) : book(ledger) {}
    void Send(const DisplayMessage& message) override {
        shownSuccess |= message.command == DISPLAY_RESULT && message.value != 0;
    }
    void ShowMessage(const char*) override {}
    void PageConfirmed(std::uint64_t done, std::uint64_t total) override {
        Expect(total == kFileLength && done <= total, "progress beyond the file");
        Expect(book.ConfirmedUpTo(done), "progress for a page the programmer did not confirm");
    }
    const Ledger& book;
    bool shownSuccess = false;
};

}  // namespace
}  // namespace tarnwick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    FuzzedDataProvider input(data, size);
    Ledger ledger;
    ProgrammerLink link;
    link.Set(std::make_shared<FuzzDevice>(input, ledger), 3);
    FirmwarePath path;
    path.Set(FirmwarePathOnce());
    Watcher watcher(ledger);
    std::ostringstream diagnostics;
    ProgramJob job(link, path, watcher, watcher, diagnostics);
    job.SetProgressObserver(&watcher);

    const ProgramResult result = job.ProgramFlash();

    const bool success = result.ending == ProgramEnding::Success;
    Expect(!watcher.shownSuccess || success, "a green bar after a failed job");
    Expect(!success || ledger.ConfirmedUpTo(kFileLength),
           "success without every page's last write delivered and confirmed with fc 07 00");
    Expect(result.bytesWritten <= kFileLength && ledger.ConfirmedUpTo(result.bytesWritten),
           "bytes written that the programmer did not confirm");
    Expect(!success || result.bytesWritten == kFileLength, "success without the whole file");
    Expect(success || result.fault.has_value(), "a failed job that does not say why");
    return 0;
}
