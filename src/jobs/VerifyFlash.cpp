#include "jobs/VerifyFlash.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "jobs/FirmwareFile.h"
#include "link/CCodeProgram.h"

namespace tarnwick {

Result<void> VerifyFlash(std::shared_ptr<PassThrough> device, const std::string& path,
                         ProgressObserver* progress, std::stop_token stop) {
    FirmwareFile file;
    if (auto opened = file.Open(path); !opened) {
        return opened;
    }
    const std::uint64_t length = file.Length();

    CCodeProgram program;
    program.SetDevice(std::move(device));
    std::array<std::uint8_t, kPageSize> fromFlash{};
    std::array<std::uint8_t, kPageSize> fromFile{};
    for (std::uint64_t offset = 0; offset < length; offset += kPageSize) {
        if (stop.stop_requested()) {
            return Fail("verify stopped");
        }
        const auto address = static_cast<std::int32_t>(offset);
        // Cleared so that no page is ever compared with what the page before left.
        fromFlash.fill(0);
        if (auto read = program.ReadFlash(address, fromFlash.data(), kPageSize); !read) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "page read at 0x%06x", static_cast<unsigned>(offset));
            return Within(std::move(read), buf);
        }
        const std::size_t n = std::min<std::uint64_t>(kPageSize, length - offset);
        if (std::fread(fromFile.data(), 1, n, file.Stream()) != n) {
            return Fail(Fault::Because("read failed").Within(path));
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (fromFlash[i] != fromFile[i]) {
                char buf[128];
                std::snprintf(buf, sizeof buf,
                              "flash differs from the file at 0x%06llx: 0x%02x, file has 0x%02x",
                              static_cast<unsigned long long>(offset + i), fromFlash[i],
                              fromFile[i]);
                return Fail(buf);
            }
        }
        if (progress != nullptr) {
            progress->PageConfirmed(offset + n, length);
        }
    }
    return {};
}

}  // namespace tarnwick
