// tarnwick-e2e-expected-log: the command sequence a job must send, in the gadget's command-log
// format, worked out from the protocol rules alone (its own bitwise CRC, none of the job's
// code), so that comparing the gadget's log with it tests the job rather than repeating it.
//
//   write IMAGE [--verify] [--resend ADDRESS:N]... [--fail-write-request ADDRESS:N]...
//         [--short-status ADDRESS:N]... [--fail-page ADDRESS] [--fail-erase BLOCK]
//   read LENGTH
//   transfer-test BYTES
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kPage = 512;
constexpr std::uint32_t kBlock = 0x10000;
constexpr std::uint32_t kTransferBlock = 2048;
constexpr int kMaxResends = 10;

void Line(unsigned op, unsigned sub, std::uint32_t address, unsigned length, std::uint32_t transfer,
          unsigned crc = 0) {
    std::printf("op=%02x sub=%02x address=0x%08x length=%u transfer=%u crc=0x%04x\n", op, sub,
                address, length, transfer, crc);
}

// CRC-16/XMODEM one bit at a time: polynomial 0x1021, start 0, no reflection, no final XOR.
unsigned Crc(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>(crc ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

void LinkQuery() {
    Line(0xfc, 0x01, 0, 16, 16);
}

void WriteStatusQuery() {
    Line(0xfc, 0x07, 0, 16, 16);
}

enum class Answer { Confirmed, Again, Error };

// Whether a fault still has a turn left at `address`, using it up.
bool Take(std::map<std::uint32_t, int>& counts, std::uint32_t address) {
    auto it = counts.find(address);
    if (it == counts.end() || it->second == 0) {
        return false;
    }
    --it->second;
    return true;
}

std::uint32_t Number(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
}

int Usage() {
    std::cerr << "usage: tarnwick-e2e-expected-log write IMAGE [--verify] [--resend ADDRESS:N]... "
                 "[--fail-write-request ADDRESS:N]... [--short-status ADDRESS:N]... "
                 "[--fail-page ADDRESS] [--fail-erase BLOCK]\n"
                 "       tarnwick-e2e-expected-log read LENGTH\n"
                 "       tarnwick-e2e-expected-log transfer-test BYTES\n";
    return 1;
}

int Write(int argc, char** argv) {
    if (argc < 3) {
        return Usage();
    }
    std::ifstream file(argv[2], std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    bool verify = false;
    // Per page: status replies asking for it again, write requests that fail, status replies cut
    // short.
    std::map<std::uint32_t, int> resend;
    std::map<std::uint32_t, int> failRequest;
    std::map<std::uint32_t, int> shortStatus;
    std::optional<std::uint32_t> failPage;
    std::optional<std::uint32_t> failErase;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verify") {
            verify = true;
        } else if ((arg == "--resend" || arg == "--fail-write-request" ||
                    arg == "--short-status") &&
                   i + 1 < argc) {
            const std::string spec = argv[++i];
            const auto colon = spec.find(':');
            auto& counts = arg == "--resend"               ? resend
                           : arg == "--fail-write-request" ? failRequest
                                                           : shortStatus;
            counts[Number(spec.substr(0, colon))] = std::stoi(spec.substr(colon + 1));
        } else if (arg == "--fail-page" && i + 1 < argc) {
            failPage = Number(argv[++i]);
        } else if (arg == "--fail-erase" && i + 1 < argc) {
            failErase = Number(argv[++i]);
        } else {
            return Usage();
        }
    }
    // The buffer of a short first page would hold bytes nobody defined; the tests avoid it.
    if (image.size() < kPage) {
        std::cerr << "expected-log: an image of at least one page, please\n";
        return 1;
    }
    const auto length = static_cast<std::uint32_t>(image.size());

    LinkQuery();
    const std::uint32_t blocks = (length + kBlock - 1) / kBlock;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        Line(0xfb, 0x00, b * kBlock, 0, 16);
        if (failErase && *failErase == b) {
            return 0;  // the job stops at the first failed erase and writes nothing
        }
    }
    // Every page goes out as 512 bytes; a short last page keeps the previous page's tail.
    std::vector<std::uint8_t> page(kPage);
    for (std::uint32_t offset = 0; offset < length; offset += kPage) {
        const std::uint32_t n = std::min(kPage, length - offset);
        std::copy_n(image.begin() + offset, n, page.begin());
        const unsigned crc = Crc(page.data(), page.size());
        // A page goes out once and again at most ten times, until a status reply confirms it.
        // A write request that fails is sent again at once, without a status query; a status
        // reply cut short leaves the page unconfirmed, as one asking for it again does.
        auto send = [&] {
            Line(0xfb, 0x01, offset, kPage, kPage, crc);
            if (Take(failRequest, offset)) {
                return Answer::Again;
            }
            WriteStatusQuery();
            if (Take(shortStatus, offset)) {
                return Answer::Again;
            }
            if (failPage && *failPage == offset) {
                return Answer::Error;
            }
            return Take(resend, offset) ? Answer::Again : Answer::Confirmed;
        };
        Answer answer = send();
        for (int resends = 0; answer == Answer::Again && resends < kMaxResends; ++resends) {
            answer = send();
        }
        if (answer != Answer::Confirmed) {
            return 0;  // write error: no later page is written, nothing is read back
        }
    }
    if (verify) {
        for (std::uint32_t offset = 0; offset < length; offset += kPage) {
            Line(0xfd, 0x01, offset, kPage, kPage);
        }
    }
    return 0;
}

int Read(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    LinkQuery();
    const std::uint32_t pages = Number(argv[2]) / kPage;
    for (std::uint32_t p = 0; p < pages; ++p) {
        Line(0xfd, 0x01, p * kPage, kPage, kPage);
    }
    return 0;
}

int TransferTest(int argc, char** argv) {
    if (argc != 3) {
        return Usage();
    }
    std::vector<std::uint8_t> pattern(kTransferBlock);
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        pattern[k] = static_cast<std::uint8_t>(k % 64);
    }
    const unsigned crc = Crc(pattern.data(), pattern.size());
    const std::uint64_t bound = std::stoull(argv[2], nullptr, 0);
    LinkQuery();
    for (std::uint64_t a = 0; a + kTransferBlock <= bound; a += kTransferBlock) {
        const auto address = static_cast<std::uint32_t>(a);
        Line(0xfb, 0x01, address, kTransferBlock, kTransferBlock, crc);
        WriteStatusQuery();
        Line(0xfd, 0x01, address, kTransferBlock, kTransferBlock);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string what = argv[1];
    try {
        if (what == "write") {
            return Write(argc, argv);
        }
        if (what == "read") {
            return Read(argc, argv);
        }
        if (what == "transfer-test") {
            return TransferTest(argc, argv);
        }
    } catch (const std::exception& e) {
        std::cerr << "expected-log: " << e.what() << '\n';
        return 1;
    }
    return Usage();
}
