#include "jobs/VerifyFlash.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "jobs/FirmwareFile.h"
#include "link/CCodeProgram.h"

namespace tarnwick {

VerifyResult VerifyFlash(std::shared_ptr<PassThrough> device, const std::string& path,
                         ProgressObserver* progress, std::stop_token stop) {
    FirmwareFile file;
    if (std::string error = file.Open(path); !error.empty()) {
        return {false, std::move(error)};
    }
    const std::uint64_t length = file.Length();

    CCodeProgram program;
    program.SetDevice(std::move(device));
    std::array<std::uint8_t, kPageSize> fromFlash{};
    std::array<std::uint8_t, kPageSize> fromFile{};
    for (std::uint64_t offset = 0; offset < length; offset += kPageSize) {
        if (stop.stop_requested()) {
            return {false, "verify stopped"};
        }
        const auto address = static_cast<std::int32_t>(offset);
        // Cleared so that no page is ever compared with what the page before left.
        fromFlash.fill(0);
        if (!program.ReadFlash(address, fromFlash.data(), kPageSize)) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "page read at 0x%06x: ", static_cast<unsigned>(offset));
            return {false, buf + program.LastFault().Describe()};
        }
        const std::size_t n = std::min<std::uint64_t>(kPageSize, length - offset);
        if (std::fread(fromFile.data(), 1, n, file.Stream()) != n) {
            return {false, path + ": read failed"};
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (fromFlash[i] != fromFile[i]) {
                char buf[128];
                std::snprintf(buf, sizeof buf,
                              "flash differs from the file at 0x%06llx: 0x%02x, file has 0x%02x",
                              static_cast<unsigned long long>(offset + i), fromFlash[i],
                              fromFile[i]);
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
