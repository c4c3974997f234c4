#include "jobs/ProgramJob.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "jobs/JobTexts.h"
#include "link/CCodeProgram.h"

namespace tarnwick {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Flash addresses are 32 bits wide; a longer file would wrap and overwrite its own start.
constexpr std::int64_t kMaxFileLength = std::int64_t{1} << 32;

std::string At(const char* what, std::int64_t address) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s at 0x%06llx", what,
                  static_cast<unsigned long long>(address));
    return buf;
}

}  // namespace

ProgramJob::ProgramJob(ProgrammerLink& programmerLink, const FirmwarePath& path,
                       DisplaySink& displaySink, MessageBoxSink& boxes, std::ostream& diag)
    : link(programmerLink),
      firmwarePath(path),
      display(displaySink),
      messageBoxes(boxes),
      diagnostics(diag) {}

ProgramResult ProgramJob::ProgramThreadProc(
    std::stop_token stop, std::optional<std::chrono::steady_clock::time_point> deadline) {
    const auto device = deadline ? link.WaitForDevice(stop, *deadline) : link.WaitForDevice(stop);
    if (!device) {
        if (stop.stop_requested()) {
            return {ProgramEnding::Cancelled, "stopped while waiting for a programmer"};
        }
        return {ProgramEnding::NoProgrammer, "no programmer appeared in time"};
    }
    if (firmwarePath.Get().empty()) {
        messageBoxes.ShowMessage(texts::kChooseFile);
        return {ProgramEnding::NoFile, "no firmware file chosen"};
    }
    return ProgramFlash(stop);
}

ProgramResult ProgramJob::EndWithRedBar(const char* line, ProgramEnding ending,
                                        std::string detail) {
    display.Text(line);
    display.Progress(0);
    display.Enable(true);
    display.Result(false);
    return {ending, std::move(detail)};
}

ProgramResult ProgramJob::ProgramFlash(std::stop_token stop) {
    display.Reset();
    CCodeProgram program;
    program.SetDevice(link.Device());

    const std::string path = firmwarePath.Get();
    if (path.empty()) {
        messageBoxes.ShowMessage(texts::kChooseFile);
        return {ProgramEnding::NoFile, "no firmware file chosen"};
    }

    std::int32_t linkStatus = 0;
    if (!program.GetLinkStatus(linkStatus)) {
        display.Text(texts::kNotOnline);
        return {ProgramEnding::NotAnswering,
                "link status query: " + program.LastFault().Describe()};
    }

    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return EndWithRedBar(texts::kOpenFailed, ProgramEnding::OpenFailed,
                             path + ": " + std::strerror(errno));
    }
    std::int64_t length = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        length = std::ftell(file.get());
    }
    if (length < 0 || length > kMaxFileLength) {
        return EndWithRedBar(texts::kOpenFailed, ProgramEnding::OpenFailed,
                             path + (length < 0 ? ": cannot tell its length"
                                                : ": larger than the 4 GiB address space"));
    }
    if (length == 0) {
        // Nothing to erase or write; going on would divide by the length.
        return EndWithRedBar(texts::kEmptyFile, ProgramEnding::EmptyFile, path + " is empty");
    }

    display.Enable(false);
    display.Text(texts::kErasing);
    const std::int64_t blocks = (length + kEraseBlockSize - 1) / kEraseBlockSize;
    for (std::int64_t k = 0; k < blocks; ++k) {
        const std::int64_t address = k * kEraseBlockSize;
        if (stop.stop_requested()) {
            return {ProgramEnding::Cancelled, At("stopped before the block erase", address)};
        }
        if (!program.EraseBlock(static_cast<std::int32_t>(address))) {
            diagnostics << texts::kEraseFailedStdout << std::flush;
            return EndWithRedBar(
                texts::kEraseFailed, ProgramEnding::EraseFailed,
                At("block erase", address) + ": " + program.LastFault().Describe());
        }
    }

    display.Text(texts::kWriting);
    std::rewind(file.get());

    // Erased flash reads 0xFF, so a short first page pads with what the chip holds anyway.
    std::array<std::uint8_t, kPageSize> page;
    page.fill(0xFF);
    std::int64_t offset = 0;
    std::string failure;
    do {
        if (stop.stop_requested()) {
            return {ProgramEnding::Cancelled, At("stopped before the page", offset)};
        }
        const std::size_t n = std::fread(page.data(), 1, page.size(), file.get());
        if (n == 0) {
            // The file shrank or cannot be read: the rest would be written from stale bytes.
            failure = At("reading the firmware file", offset) + ": " +
                      (std::ferror(file.get()) ? std::strerror(errno) : "file ended early");
            break;
        }
        const auto address = static_cast<std::int32_t>(offset);
        int retries = kMaxResends;
        // A reply with a wrong echo says nothing about the page, so it counts as no reply:
        // the preset 1 stands and the page goes again.
        auto writeAndAsk = [&] {
            program.WriteFlash(address, kPageSize, page.data());
            std::int32_t status = 1;
            if (!program.GetWriteStatus(status)) {
                status = 1;
            }
            return status;
        };
        std::int32_t status = writeAndAsk();
        while (status != 0) {
            if (status != 1 || retries == 0) {
                failure = At("page write", offset);
                failure +=
                    status != 1
                        ? ": programmer reported write status " + std::to_string(status)
                        : ": not taken after 10 resends (last: " + program.LastFault().Describe() +
                              ")";
                break;
            }
            --retries;
            status = writeAndAsk();
        }
        if (!failure.empty()) {
            break;
        }
        display.Progress(offset * 100 / length);
        offset += static_cast<std::int64_t>(n);
        if (progress != nullptr) {
            progress->PageConfirmed(static_cast<std::uint64_t>(offset),
                                    static_cast<std::uint64_t>(length));
        }
    } while (offset < length);

    const bool success = failure.empty();
    if (!success) {
        display.Text(texts::kWriteError);
        display.Result(false);
    }
    file.reset();
    display.Text(texts::kWriteDone);
    display.Progress(0);
    display.Enable(true);
    display.Result(success);
    if (!success) {
        return {ProgramEnding::WriteFailed, failure};
    }
    return {ProgramEnding::Success, {}};
}

const char* ToString(ProgramEnding ending) {
    switch (ending) {
        case ProgramEnding::Success:
            return "success";
        case ProgramEnding::NoFile:
            return "no firmware file";
        case ProgramEnding::NoProgrammer:
            return "no programmer";
        case ProgramEnding::NotAnswering:
            return "programmer not answering";
        case ProgramEnding::OpenFailed:
            return "cannot open the firmware file";
        case ProgramEnding::EmptyFile:
            return "firmware file is empty";
        case ProgramEnding::EraseFailed:
            return "erase failed";
        case ProgramEnding::WriteFailed:
            return "write failed";
        case ProgramEnding::Cancelled:
            return "cancelled";
    }
    return "unknown";
}

}  // namespace tarnwick
