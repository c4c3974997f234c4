#include "jobs/VerifyFlash.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "link/CCodeProgram.h"

namespace tarnwick {

VerifyResult VerifyFlash(std::shared_ptr<PassThrough> device, const std::string& path,
                         ProgressObserver* progress, std::stop_token stop) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {false, path + ": " + std::strerror(errno)};
    }
    file.seekg(0, std::ios::end);
    const auto length = static_cast<std::uint64_t>(file.tellg());
    file.seekg(0);

    CCodeProgram program;
    program.SetDevice(std::move(device));
    std::array<std::uint8_t, kPageSize> fromFlash{};
    std::array<char, kPageSize> fromFile{};
    for (std::uint64_t offset = 0; offset < length; offset += kPageSize) {
        if (stop.stop_requested()) {
            return {false, "verify stopped"};
        }
        const auto address = static_cast<std::int32_t>(offset);
        if (!program.ReadFlash(address, fromFlash.data(), kPageSize)) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "page read at 0x%06x: ", static_cast<unsigned>(offset));
            return {false, buf + program.LastFault().Describe()};
        }
        const std::size_t n = std::min<std::uint64_t>(kPageSize, length - offset);
        if (!file.read(fromFile.data(), static_cast<std::streamsize>(n))) {
            return {false, path + ": read failed"};
        }
        for (std::size_t i = 0; i < n; ++i) {
            const auto expected = static_cast<std::uint8_t>(fromFile[i]);
            if (fromFlash[i] != expected) {
                char buf[128];
                std::snprintf(buf, sizeof buf,
                              "flash differs from the file at 0x%06llx: 0x%02x, file has 0x%02x",
                              static_cast<unsigned long long>(offset + i), fromFlash[i], expected);
                return {false, buf};
            }
        }
        if (progress != nullptr) {
            progress->PageConfirmed(offset + n, length);
        }
    }
    return {true, {}};
}

}  // namespace tarnwick
