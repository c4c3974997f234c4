// tarnwick-e2e-expected-log: the command sequence a job must send, in the gadget's command-log
// format, worked out from the protocol rules alone (the tests' bitwise CRC, none of the job's
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
#include <string>
#include <vector>

#include "BitwiseCrc.h"

namespace {

using tarnwick::testing::BitwiseCrc;

constexpr std::uint32_t kPage = 512;
constexpr std::uint32_t kBlock = 0x10000;
constexpr std::uint32_t kTransferBlock = 2048;
constexpr int kMaxResends = 10;

void Line(unsigned op, unsigned sub, std::uint32_t address, unsigned length, std::uint32_t transfer,
          unsigned crc = 0) {
    std::printf("op=%02x sub=%02x address=0x%08x length=%u transfer=%u crc=0x%04x\n", op, sub,
                address, length, transfer, crc);
}

std::uint32_t Number(const std::string& text) {
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
}

// Per fault option and page (or block), the turns it has left: status replies asking for the
// page again, write requests that fail, status replies cut short, a page or erase that fails.
std::map<std::string, std::map<std::uint32_t, int>> faults;

// Whether the fault still has a turn left at `address`, using it up.
bool Take(const std::string& fault, std::uint32_t address) {
    int& left = faults[fault][address];
    return left > 0 && left-- > 0;
}

void Write(const std::string& path, std::vector<std::string> options) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file), {}};
    const bool verify = std::erase(options, "--verify") > 0;
    // The rest are fault options, each with ADDRESS:N, or ADDRESS alone for a fault that strikes
    // once.
    for (std::size_t i = 0; i < options.size(); i += 2) {
        const std::string& spec = options.at(i + 1);
        const auto colon = spec.find(':');
        faults[options[i]][Number(spec.substr(0, colon))] =
            colon == std::string::npos ? 1 : std::stoi(spec.substr(colon + 1));
    }
    const auto length = static_cast<std::uint32_t>(image.size());
    Line(0xfc, 0x01, 0, 16, 16);  // link query
    for (std::uint32_t b = 0; b < (length + kBlock - 1) / kBlock; ++b) {
        Line(0xfb, 0x00, b * kBlock, 0, 16);
        if (Take("--fail-erase", b)) {
            return;  // the job stops at the first failed erase and writes nothing
        }
    }
    // Every page goes out as 512 bytes; a short last page keeps the previous page's tail. A page
    // goes out once and again at most ten times, until a status reply confirms it. A write
    // request that fails is sent again at once, without a status query; a status reply cut short
    // leaves the page unconfirmed, as one asking for it again does.
    std::vector<std::uint8_t> page(kPage);
    for (std::uint32_t offset = 0; offset < length; offset += kPage) {
        std::copy_n(image.begin() + offset, std::min(kPage, length - offset), page.begin());
        bool confirmed = false;
        for (int sends = 0; !confirmed && sends <= kMaxResends; ++sends) {
            Line(0xfb, 0x01, offset, kPage, kPage, BitwiseCrc(page));
            if (Take("--fail-write-request", offset)) {
                continue;
            }
            Line(0xfc, 0x07, 0, 16, 16);  // write status
            const bool cutShort = Take("--short-status", offset);
            if (!cutShort && Take("--fail-page", offset)) {
                return;  // write error: no later page is written, nothing is read back
            }
            confirmed = !cutShort && !Take("--resend", offset);
        }
        if (!confirmed) {
            return;  // no confirmation after the last resend: the same
        }
    }
    for (std::uint32_t offset = 0; verify && offset < length; offset += kPage) {
        Line(0xfd, 0x01, offset, kPage, kPage);
    }
}

void Read(std::uint32_t length) {
    Line(0xfc, 0x01, 0, 16, 16);
    for (std::uint32_t offset = 0; offset + kPage <= length; offset += kPage) {
        Line(0xfd, 0x01, offset, kPage, kPage);
    }
}

void TransferTest(std::uint32_t bound) {
    std::vector<std::uint8_t> pattern;  // 0, 1, ... 63, 0, 1, ...
    while (pattern.size() < kTransferBlock) {
        pattern.push_back(static_cast<std::uint8_t>(pattern.size() % 64));
    }
    Line(0xfc, 0x01, 0, 16, 16);
    for (std::uint32_t a = 0; a + kTransferBlock <= bound; a += kTransferBlock) {
        Line(0xfb, 0x01, a, kTransferBlock, kTransferBlock, BitwiseCrc(pattern));
        Line(0xfc, 0x07, 0, 16, 16);
        Line(0xfd, 0x01, a, kTransferBlock, kTransferBlock);
    }
}

}  // namespace

// A missing argument ends the tool through its uncaught exception, which prints the reason; the
// comparison then fails on the missing log. A fault option the gadget does not know keeps it from
// starting, one this model does not know leaves the page that fault strikes out of the log.
int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    if (args.size() >= 2 && args[0] == "write") {
        Write(args[1], {args.begin() + 2, args.end()});
    } else if (args.size() == 2 && args[0] == "read") {
        Read(Number(args[1]));
    } else if (args.size() == 2 && args[0] == "transfer-test") {
        TransferTest(Number(args[1]));
    } else {
        std::cerr << "usage: tarnwick-e2e-expected-log write IMAGE [OPTIONS] | read LENGTH | "
                     "transfer-test BYTES (see its source for the options)\n";
        return 1;
    }
}
