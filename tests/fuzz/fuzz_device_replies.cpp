// Device replies, as the fuzz input decides them, fed through the programming job, the verify
// and the read-back. Each exchange succeeds, or fails with part of its data phase moved; a
// delivered reply is the right one, the right one with a byte changed, or raw input bytes.
// The oracle: nothing is reported as written, identical or saved that the device did not
// deliver.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "jobs/ProgramJob.h"
#include "jobs/ReadBack.h"
#include "jobs/VerifyFlash.h"
#include "link/CommandBlock.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// Two full pages and a short one, so the last write and the last compare are partial.
constexpr std::uint32_t kFileLength = 2 * kPageSize + 276;
// Three whole pages and a partial one that the read-back drops.
constexpr std::int64_t kReadBackLength = 3 * kPageSize + 100;

void Expect(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "oracle violated: %s\n", what);
        std::abort();
    }
}

// The firmware file, written once; its pages all differ, so a page read back in place of
// another shows.
struct Fixture {
    fs::path dir;
    std::vector<std::uint8_t> firmware;
    std::string firmwarePath;
    std::string readBackPath;

    Fixture() {
        char pattern[] = "/tmp/tarnwick-fuzz-XXXXXX";
        Expect(mkdtemp(pattern) != nullptr, "cannot create a temporary directory");
        dir = pattern;
        for (std::uint32_t i = 0; i < kFileLength; ++i) {
            firmware.push_back(static_cast<std::uint8_t>(i * 7 + (i / kPageSize) * 13 + 3));
        }
        firmwarePath = dir / "firmware.bin";
        readBackPath = dir / "flash.bin";
        std::ofstream(firmwarePath, std::ios::binary)
            .write(reinterpret_cast<const char*>(firmware.data()),
                   static_cast<std::streamsize>(firmware.size()));
    }
    ~Fixture() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

const Fixture& TheFixture() {
    static const Fixture fixture;
    return fixture;
}

// What the device delivered, per page.
struct Ledger {
    std::map<std::uint32_t, bool> writeDelivered;
    std::map<std::uint32_t, bool> confirmed;  // a delivered fc 07 00 after a delivered write
    std::optional<std::uint32_t> lastWrite;
    // The bytes of the last read of each page; none when it failed.
    std::map<std::uint32_t, std::optional<std::vector<std::uint8_t>>> reads;

    bool ConfirmedUpTo(std::uint64_t end) const {
        for (std::uint32_t a = 0; a < end; a += kPageSize) {
            const auto it = confirmed.find(a);
            if (it == confirmed.end() || !it->second) {
                return false;
            }
        }
        return true;
    }
    // The last read of the page at `address` delivered its bytes, and the first `n` are these.
    bool ReadDelivered(std::uint32_t address, const std::uint8_t* expected, std::size_t n) const {
        const auto it = reads.find(address);
        return it != reads.end() && it->second && it->second->size() >= n &&
               std::equal(expected, expected + n, it->second->begin());
    }
};

class FuzzDevice : public PassThrough {
  public:
    FuzzDevice(FuzzedDataProvider& input, Ledger& ledger) : in(input), book(ledger) {}

    Result<void> Exchange(const PassThroughRequest& request) override {
        const DecodedCommand cmd = DecodeCommand(request.cdb);
        const std::uint32_t length = request.transferLength;
        const bool dataIn = request.direction == DataDirection::In;
        std::vector<std::uint8_t> reply = RightReply(cmd, length);
        Result<void> ok;
        switch (in.ConsumeIntegralInRange(0, 3)) {
            case 0: {  // failed, after part of the data phase moved
                const auto moved = in.ConsumeIntegralInRange<std::uint32_t>(0, length);
                if (dataIn && moved > 0) {
                    std::copy_n(reply.begin(), moved, static_cast<std::uint8_t*>(request.buffer));
                }
                ok = Fail("fuzzed failure");
                ok.error().scsi.residual = length - moved;
                break;
            }
            case 1:
                break;
            case 2:
                if (length > 0) {
                    const auto at = in.ConsumeIntegralInRange<std::uint32_t>(0, length - 1);
                    reply[at] = in.ConsumeIntegral<std::uint8_t>();
                }
                break;
            default:
                reply = in.ConsumeBytes<std::uint8_t>(length);
                reply.resize(length);
                break;
        }
        if (ok && dataIn && length > 0) {
            std::copy(reply.begin(), reply.end(), static_cast<std::uint8_t*>(request.buffer));
        }
        Record(cmd, ok.has_value(), reply);
        return ok;
    }

  private:
    // What a healthy programmer holding the firmware would answer.
    static std::vector<std::uint8_t> RightReply(const DecodedCommand& cmd, std::uint32_t length) {
        std::vector<std::uint8_t> reply(length);
        if (cmd.op == kOpPageRead) {
            const auto& firmware = TheFixture().firmware;
            for (std::uint32_t i = 0; i < length; ++i) {
                const std::uint64_t at = std::uint64_t{cmd.address} + i;
                reply[i] = at < firmware.size() ? firmware[at] : 0xFF;
            }
        } else if (length >= 3 && cmd.op == kOpStatus) {
            reply[0] = kOpStatus;
            reply[1] = cmd.sub;
            reply[2] = cmd.sub == kSubLinkStatus ? 1 : 0;
        } else if (length >= 2 && cmd.op == kOpPageWrite && cmd.sub == kSubErase) {
            reply[0] = kOpPageWrite;
            reply[1] = kSubErase;
        }
        return reply;
    }

    void Record(const DecodedCommand& cmd, bool ok, const std::vector<std::uint8_t>& reply) {
        if (cmd.op == kOpPageWrite && cmd.sub == kSubWrite) {
            book.lastWrite = cmd.address;
            book.writeDelivered[cmd.address] = ok;
            book.confirmed[cmd.address] = false;
        } else if (cmd.op == kOpStatus && cmd.sub == kSubWriteStatus) {
            if (ok && book.lastWrite && book.writeDelivered[*book.lastWrite] && reply.size() >= 3 &&
                reply[0] == kOpStatus && reply[1] == kSubWriteStatus && reply[2] == 0) {
                book.confirmed[*book.lastWrite] = true;
            }
        } else if (cmd.op == kOpPageRead) {
            book.reads[cmd.address] = ok ? std::optional(reply) : std::nullopt;
        }
    }

    FuzzedDataProvider& in;
    Ledger& book;
};

struct ResultDisplay : DisplaySink, MessageBoxSink {
    void Send(const DisplayMessage& message) override {
        if (message.command == DISPLAY_RESULT && message.value != 0) {
            shownSuccess = true;
        }
    }
    void ShowMessage(const char*) override {}
    bool shownSuccess = false;
};

struct ConfirmedProgress : ProgressObserver {
    explicit ConfirmedProgress(const Ledger& ledger) : book(ledger) {}
    void PageConfirmed(std::uint64_t done, std::uint64_t total) override {
        Expect(total == kFileLength && done <= total, "progress beyond the file");
        Expect(book.ConfirmedUpTo(done), "progress for a page the programmer did not confirm");
    }
    const Ledger& book;
};

void CheckJob(const std::shared_ptr<PassThrough>& device, const Ledger& ledger) {
    const Fixture& f = TheFixture();
    ProgrammerLink link;
    link.Set(device, 3);
    FirmwarePath path;
    path.Set(f.firmwarePath);
    ResultDisplay display;
    std::ostringstream diagnostics;
    ProgramJob job(link, path, display, display, diagnostics);
    ConfirmedProgress progress(ledger);
    job.SetProgressObserver(&progress);

    const ProgramResult result = job.ProgramFlash();

    const bool success = result.ending == ProgramEnding::Success;
    Expect(!display.shownSuccess || success, "a green bar after a failed job");
    Expect(!success || ledger.ConfirmedUpTo(kFileLength),
           "success without every page's last write delivered and confirmed with fc 07 00");
    Expect(result.bytesWritten <= kFileLength && ledger.ConfirmedUpTo(result.bytesWritten),
           "bytes written that the programmer did not confirm");
    Expect(!success || result.bytesWritten == kFileLength, "success without the whole file");
}

void CheckVerify(const std::shared_ptr<PassThrough>& device, const Ledger& ledger) {
    const Fixture& f = TheFixture();
    if (!VerifyFlash(device, f.firmwarePath)) {
        return;
    }
    for (std::uint32_t a = 0; a < kFileLength; a += kPageSize) {
        Expect(ledger.ReadDelivered(a, f.firmware.data() + a,
                                    std::min<std::size_t>(kPageSize, kFileLength - a)),
               "identical although a page was not delivered or differs");
    }
}

void CheckReadBack(const std::shared_ptr<PassThrough>& device, const Ledger& ledger) {
    const Fixture& f = TheFixture();
    const ReadBackResult result = ReadFlashToFile(device, f.readBackPath, kReadBackLength);
    std::error_code ec;
    if (result.ending != ReadBackEnding::Success) {
        Expect(!fs::exists(f.readBackPath, ec), "a failed read-back left its file");
        return;
    }
    std::ifstream file(f.readBackPath, std::ios::binary);
    const std::vector<std::uint8_t> saved{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    constexpr std::size_t kSaved = kReadBackLength / kPageSize * kPageSize;
    Expect(saved.size() == kSaved && result.bytesWritten == kSaved,
           "read-back saved other than its whole pages");
    for (std::uint32_t a = 0; a < kSaved; a += kPageSize) {
        Expect(ledger.ReadDelivered(a, saved.data() + a, kPageSize),
               "read-back saved bytes the device did not deliver for that page");
    }
    fs::remove(f.readBackPath, ec);
}

}  // namespace
}  // namespace tarnwick

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick;
    FuzzedDataProvider input(data, size);
    Ledger ledger;
    const auto device = std::make_shared<FuzzDevice>(input, ledger);
    CheckJob(device, ledger);
    ledger.reads.clear();
    CheckVerify(device, ledger);
    ledger.reads.clear();
    CheckReadBack(device, ledger);
    return 0;
}
