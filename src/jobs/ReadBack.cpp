#include "jobs/ReadBack.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "jobs/FileKind.h"
#include "jobs/Utf8Path.h"

namespace tarnwick {

FlashReadBack::~FlashReadBack() {
    if (file != nullptr) {
        std::fclose(file);
    }
}

ReadBackResult FlashReadBack::Abandon(ReadBackEnding ending, Fault fault) {
    std::fclose(file);
    file = nullptr;
    std::error_code ignored;
    std::filesystem::remove(Utf8Path(path), ignored);
    return {ending, std::move(fault), 0};
}

ReadBackResult FlashReadBack::Open(std::shared_ptr<PassThrough> device,
                                   const std::string& outputPath) {
    program.SetDevice(std::move(device));
    std::int32_t linkStatus = 0;
    if (auto asked = program.GetLinkStatus(linkStatus); !asked) {
        return {ReadBackEnding::NotAnswering, std::move(asked.error()).Within("link status query"),
                0};
    }
    if (auto created = Create(outputPath); !created) {
        return {ReadBackEnding::OpenFailed, std::move(created.error()), 0};
    }
    path = outputPath;
    return {};
}

ReadBackResult FlashReadBack::ReadPages(std::int64_t length, ProgressObserver* progress,
                                        std::stop_token stop) {
    if (file == nullptr) {
        return {ReadBackEnding::OpenFailed, Fault::Because("read-back without an output file"), 0};
    }
    const std::int64_t pages = length / kPageSize;
    const auto total = static_cast<std::uint64_t>(pages > 0 ? pages * kPageSize : 0);
    std::array<std::uint8_t, kPageSize> page{};
    for (std::int64_t i = 0; i < pages; ++i) {
        if (stop.stop_requested()) {
            return Abandon(ReadBackEnding::Cancelled, Fault::Because("read-back stopped"));
        }
        const std::int64_t address = i * kPageSize;
        // Cleared so that no page is ever saved with what the page before left.
        page.fill(0);
        if (auto read =
                program.ReadFlash(static_cast<std::int32_t>(address), page.data(), kPageSize);
            !read) {
            char where[48];
            std::snprintf(where, sizeof where, "page read at 0x%06llx",
                          static_cast<unsigned long long>(address));
            return Abandon(ReadBackEnding::ReadFailed, std::move(read.error()).Within(where));
        }
        if (std::fwrite(page.data(), 1, page.size(), file) != page.size()) {
            return Abandon(ReadBackEnding::ReadFailed, SystemFault(path, errno).error());
        }
        if (progress != nullptr) {
            progress->PageConfirmed(static_cast<std::uint64_t>(address + kPageSize), total);
        }
    }
    const int closed = std::fclose(file);
    file = nullptr;
    if (closed != 0) {
        const int error = errno;
        std::error_code ignored;
        std::filesystem::remove(Utf8Path(path), ignored);
        return {ReadBackEnding::ReadFailed, SystemFault(path, error).error(), 0};
    }
    return {ReadBackEnding::Success, std::nullopt, total};
}

ReadBackResult ReadFlashToFile(std::shared_ptr<PassThrough> device, const std::string& path,
                               std::int64_t length, ProgressObserver* progress,
                               std::stop_token stop) {
    FlashReadBack readBack;
    ReadBackResult opened = readBack.Open(std::move(device), path);
    if (opened.ending != ReadBackEnding::Success) {
        return opened;
    }
    return readBack.ReadPages(length, progress, stop);
}

const char* ReadBackMessage(ReadBackEnding ending) {
    switch (ending) {
        case ReadBackEnding::OpenFailed:
            return "打开文件失败！";
        case ReadBackEnding::ReadFailed:
            return "读取Flash失败！";
        default:
            return nullptr;
    }
}

}  // namespace tarnwick
