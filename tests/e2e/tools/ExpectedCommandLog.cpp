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
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kPage = 512;
constexpr std::uint32_t kBlock = 0x10000;
constexpr std::uint32_t kTransferBlock = 2048;
constexpr int kMaxResends = 10;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

void Line(unsigned op, unsigned sub, std::uint32_t address, unsigned length, std::uint32_t transfer,
          unsigned crc = 0) {
    std::printf("op=%02x sub=%02x address=0x%08x length=%u transfer=%u crc=0x%04x\n", op, sub,
                address, length, transfer, crc);
}

// CRC-16/XMODEM one bit at a time: polynomial 0x1021, start 0, no reflection, no final XOR.
unsigned Crc(const std::vector<std::uint8_t>& data) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : data) {
        crc = static_cast<std::uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

std::uint32_t Number(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
}

// Per page, the turns a fault has left: status replies asking for it again, write requests that
// fail, status replies cut short.
struct Faults {
    std::map<std::string, std::map<std::uint32_t, int>> counts;
    std::uint32_t failPage = kNone;
    std::uint32_t failErase = kNone;

    // Whether the fault still has a turn left at `address`, using it up.
    bool Take(const std::string& fault, std::uint32_t address) {
        int& left = counts[fault][address];
        return left > 0 && left-- > 0;
    }
};

enum class Answer { Confirmed, Again, Error };

// A page goes out once and again at most ten times, until a status reply confirms it. A write
// request that fails is sent again at once, without a status query; a status reply cut short
// leaves the page unconfirmed, as one asking for it again does.
Answer SendPage(Faults& faults, std::uint32_t offset, unsigned crc) {
    Line(0xfb, 0x01, offset, kPage, kPage, crc);
    if (faults.Take("--fail-write-request", offset)) {
        return Answer::Again;
    }
    Line(0xfc, 0x07, 0, 16, 16);  // write status
    const bool cutShort = faults.Take("--short-status", offset);
    if (!cutShort && faults.failPage == offset) {
        return Answer::Error;
    }
    return cutShort || faults.Take("--resend", offset) ? Answer::Again : Answer::Confirmed;
}

int Write(const std::vector<std::string>& args) {
    std::ifstream file(args.at(1), std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file), {}};
    bool verify = false;
    Faults faults;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--verify") {
            verify = true;
        } else if (arg == "--fail-page" || arg == "--fail-erase") {
            (arg == "--fail-page" ? faults.failPage : faults.failErase) = Number(args.at(++i));
        } else if (arg == "--resend" || arg == "--fail-write-request" || arg == "--short-status") {
            const std::string& spec = args.at(++i);
            const auto colon = spec.find(':');
            faults.counts[arg][Number(spec.substr(0, colon))] = std::stoi(spec.substr(colon + 1));
        } else {
            throw std::invalid_argument("unknown option " + arg);
        }
    }
    // The buffer of a short first page would hold bytes nobody defined; the tests avoid it.
    if (image.size() < kPage) {
        throw std::runtime_error("an image of at least one page, please");
    }
    const auto length = static_cast<std::uint32_t>(image.size());
    Line(0xfc, 0x01, 0, 16, 16);  // link query
    for (std::uint32_t b = 0; b < (length + kBlock - 1) / kBlock; ++b) {
        Line(0xfb, 0x00, b * kBlock, 0, 16);
        if (faults.failErase == b) {
            return 0;  // the job stops at the first failed erase and writes nothing
        }
    }
    // Every page goes out as 512 bytes; a short last page keeps the previous page's tail.
    std::vector<std::uint8_t> page(kPage);
    for (std::uint32_t offset = 0; offset < length; offset += kPage) {
        std::copy_n(image.begin() + offset, std::min(kPage, length - offset), page.begin());
        Answer answer = SendPage(faults, offset, Crc(page));
        for (int resends = 0; answer == Answer::Again && resends < kMaxResends; ++resends) {
            answer = SendPage(faults, offset, Crc(page));
        }
        if (answer != Answer::Confirmed) {
            return 0;  // write error: no later page is written, nothing is read back
        }
    }
    for (std::uint32_t offset = 0; verify && offset < length; offset += kPage) {
        Line(0xfd, 0x01, offset, kPage, kPage);
    }
    return 0;
}

int Read(std::uint32_t length) {
    Line(0xfc, 0x01, 0, 16, 16);
    for (std::uint32_t offset = 0; offset + kPage <= length; offset += kPage) {
        Line(0xfd, 0x01, offset, kPage, kPage);
    }
    return 0;
}

int TransferTest(std::uint64_t bound) {
    std::vector<std::uint8_t> pattern;  // 0, 1, ... 63, 0, 1, ...
    while (pattern.size() < kTransferBlock) {
        pattern.push_back(static_cast<std::uint8_t>(pattern.size() % 64));
    }
    Line(0xfc, 0x01, 0, 16, 16);
    for (std::uint64_t a = 0; a + kTransferBlock <= bound; a += kTransferBlock) {
        Line(0xfb, 0x01, static_cast<std::uint32_t>(a), kTransferBlock, kTransferBlock,
             Crc(pattern));
        Line(0xfc, 0x07, 0, 16, 16);
        Line(0xfd, 0x01, static_cast<std::uint32_t>(a), kTransferBlock, kTransferBlock);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    try {
        if (args.size() >= 2 && args[0] == "write") {
            return Write(args);
        }
        if (args.size() == 2 && args[0] == "read") {
            return Read(Number(args[1]));
        }
        if (args.size() == 2 && args[0] == "transfer-test") {
            return TransferTest(std::stoull(args[1], nullptr, 0));
        }
    } catch (const std::exception& e) {
        std::cerr << "expected-log: " << e.what() << '\n';
        return 1;
    }
    std::cerr << "usage: tarnwick-e2e-expected-log write IMAGE [OPTIONS] | read LENGTH | "
                 "transfer-test BYTES (see its source for the options)\n";
    return 1;
}
