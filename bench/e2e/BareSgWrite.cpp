// tarnwick-bench-bare-sg DEVICE IMAGE: writes IMAGE into the programmer at DEVICE (/dev/sgN) with
// the same command sequence as tarnwick-cli write (link query, block erases, page write and
// write-status query per page, a page sent again while the status asks for it) and nothing but
// SG_IO calls: no discovery, no job, no display. The floor tarnwick-cli write is measured
// against. Prints the seconds the sequence took.
#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr std::uint32_t kPage = 512;
constexpr std::uint32_t kBlock = 0x10000;

int fd = -1;

bool Exchange(const std::array<std::uint8_t, 16>& cdb, bool in, void* data, std::uint32_t length,
              unsigned timeoutMs) {
    std::array<std::uint8_t, 16> command = cdb;
    std::array<std::uint8_t, 32> sense{};
    sg_io_hdr header{};
    header.interface_id = 'S';
    header.dxfer_direction = in ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
    header.cmd_len = 16;
    header.cmdp = command.data();
    header.mx_sb_len = static_cast<unsigned char>(sense.size());
    header.sbp = sense.data();
    header.dxfer_len = length;
    header.dxferp = data;
    header.timeout = timeoutMs;
    return ioctl(fd, SG_IO, &header) == 0 && header.host_status == 0 &&
           (header.driver_status & ~0x08) == 0 && header.status == 0;
}

std::array<std::uint8_t, 16> Cdb(std::uint8_t op, std::uint8_t sub, std::uint32_t address,
                                 std::uint32_t length) {
    return {op,
            sub,
            static_cast<std::uint8_t>(address >> 24),
            static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length),
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0};
}

std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t length) {
    static const auto table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
            for (int bit = 0; bit < 8; ++bit) {
                crc = static_cast<std::uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021
                                                                     : crc << 1);
            }
            t[i] = crc;
        }
        return t;
    }();
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ table[((crc >> 8) ^ data[i]) & 0xFF]);
    }
    return crc;
}

int Status(std::uint8_t sub) {
    std::array<std::uint8_t, 16> reply{};
    if (!Exchange(Cdb(0xFC, sub, 0, 16), true, reply.data(), 16, 10000)) {
        return -1;
    }
    return reply[0] == 0xFC && reply[1] == sub ? reply[2] : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarnwick-bench-bare-sg /dev/sgN IMAGE\n");
        return 1;
    }
    std::ifstream file(argv[2], std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    fd = open(argv[1], O_RDWR | O_CLOEXEC);
    if (fd < 0 || image.empty()) {
        std::perror("tarnwick-bench-bare-sg");
        return 1;
    }
    const auto started = std::chrono::steady_clock::now();
    if (Status(1) < 0) {
        std::fprintf(stderr, "no answer to the link query\n");
        return 1;
    }
    const auto length = static_cast<std::uint32_t>(image.size());
    for (std::uint32_t address = 0; address < length; address += kBlock) {
        std::array<std::uint8_t, 16> reply{};
        if (!Exchange(Cdb(0xFB, 0x00, address, 0), true, reply.data(), 16, 10000) ||
            reply[0] != 0xFB || reply[1] != 0x00) {
            std::fprintf(stderr, "erase failed at 0x%06x\n", address);
            return 1;
        }
    }
    std::array<std::uint8_t, kPage> page{};
    for (std::uint32_t offset = 0; offset < length; offset += kPage) {
        const std::uint32_t n = std::min(kPage, length - offset);
        std::copy_n(image.begin() + offset, n, page.begin());
        auto cdb = Cdb(0xFB, 0x01, offset, kPage);
        const std::uint16_t crc = Crc16Xmodem(page.data(), page.size());
        cdb[9] = static_cast<std::uint8_t>(crc);
        cdb[10] = static_cast<std::uint8_t>(crc >> 8);
        int status = 1;
        for (int sends = 0; status == 1 && sends <= 10; ++sends) {
            Exchange(cdb, false, page.data(), kPage, 40000);
            status = Status(7);
        }
        if (status != 0) {
            std::fprintf(stderr, "write failed at 0x%06x\n", offset);
            return 1;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("%.3f\n", took.count());
    close(fd);
    return 0;
}
