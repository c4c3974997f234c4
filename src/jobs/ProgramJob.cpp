#include "jobs/ProgramJob.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "jobs/FirmwareFile.h"
#include "jobs/JobTexts.h"
#include "link/CCodeProgram.h"

namespace tarnwick {

namespace {

// Flash addresses are 32 bits wide; a longer file would wrap and overwrite its own start.
constexpr std::uint64_t kMaxFileLength = std::uint64_t{1} << 32;

std::string At(const char* what, std::int64_t address) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s at 0x%06llx", what,
                  static_cast<unsigned long long>(address));
    return buf;
}

struct PageOutcome {
    enum Kind { Taken, Failed, Cancelled } kind = Taken;
    std::string detail;  // for Failed and Cancelled
};

// One page, sent again for as long as the programmer asks and the resends last.
PageOutcome WritePage(CCodeProgram& program, std::int64_t offset, const std::uint8_t* page,
                      const std::stop_token& stop) {
    const auto address = static_cast<std::int32_t>(offset);
    const std::string resends = std::to_string(ProgramJob::kMaxResends);
    std::string lastProblem;  // why the last attempt was not taken, when not by the programmer
    for (int attempt = 0; attempt <= ProgramJob::kMaxResends; ++attempt) {
        if (attempt > 0 && stop.stop_requested()) {
            return {PageOutcome::Cancelled, At("stopped while resending the page", offset)};
        }
        // A request that failed may never have reached the programmer: a status query now would
        // tell about an earlier page, so none is sent and the page simply goes again.
        if (!program.WriteFlash(address, kPageSize, page)) {
            lastProblem = "the write request failed after " + resends +
                          " resends: " + program.LastFault().Describe();
            continue;
        }
        // A failed query or a reply with a wrong echo says nothing about the page, so it counts
        // as the programmer asking again.
        std::int32_t status = 1;
        if (!program.GetWriteStatus(status)) {
            lastProblem =
                "no write status after " + resends + " resends: " + program.LastFault().Describe();
            continue;
        }
        if (status == 0) {
            return {};
        }
        if (status != 1) {
            return {PageOutcome::Failed, At("page write", offset) +
                                             ": programmer reported write status " +
                                             std::to_string(status)};
        }
        lastProblem.clear();
    }
    if (lastProblem.empty()) {
        lastProblem = "the programmer asked for the page again " + resends + " times";
    }
    return {PageOutcome::Failed, At("page write", offset) + ": " + lastProblem};
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
    // A device that appeared just as the stop came is not a reason to start the job.
    if (stop.stop_requested()) {
        return {ProgramEnding::Cancelled, "stopped while waiting for a programmer"};
    }
    if (!device) {
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
    if (stop.stop_requested()) {
        return {ProgramEnding::Cancelled, "stopped before the job began"};
    }
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

    FirmwareFile file;
    if (std::string error = file.Open(path); !error.empty()) {
        return EndWithRedBar(texts::kOpenFailed, ProgramEnding::OpenFailed, std::move(error));
    }
    if (file.Length() > kMaxFileLength) {
        return EndWithRedBar(texts::kOpenFailed, ProgramEnding::OpenFailed,
                             path + ": larger than the 4 GiB address space");
    }
    const auto length = static_cast<std::int64_t>(file.Length());
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
    // Erased flash reads 0xFF, so a short first page pads with what the chip holds anyway.
    std::array<std::uint8_t, kPageSize> page;
    page.fill(0xFF);
    std::int64_t offset = 0;
    std::string failure;
    while (offset < length) {
        if (stop.stop_requested()) {
            return {ProgramEnding::Cancelled, At("stopped before the page", offset),
                    static_cast<std::uint64_t>(offset)};
        }
        // Never more than the length taken at the start: bytes a growing file gained would be
        // written but never counted.
        const auto wanted =
            static_cast<std::size_t>(std::min<std::int64_t>(kPageSize, length - offset));
        const std::size_t n = std::fread(page.data(), 1, wanted, file.Stream());
        if (n < wanted) {
            // The file shrank or cannot be read: the rest would be written from stale bytes.
            const char* cause =
                std::ferror(file.Stream()) ? std::strerror(errno) : "file ended early";
            failure = file.Changed();
            if (failure.empty()) {
                failure = At("reading the firmware file", offset) + ": " + cause;
            }
            break;
        }
        PageOutcome outcome = WritePage(program, offset, page.data(), stop);
        if (outcome.kind == PageOutcome::Cancelled) {
            return {ProgramEnding::Cancelled, std::move(outcome.detail),
                    static_cast<std::uint64_t>(offset)};
        }
        if (outcome.kind == PageOutcome::Failed) {
            failure = std::move(outcome.detail);
            break;
        }
        display.Progress(offset * 100 / length);
        offset += static_cast<std::int64_t>(n);
        if (progress != nullptr) {
            progress->PageConfirmed(static_cast<std::uint64_t>(offset),
                                    static_cast<std::uint64_t>(length));
        }
    }
    if (failure.empty()) {
        // Every page was confirmed, but they are the file's only if nobody changed it meanwhile.
        failure = file.Changed();
    }

    const bool success = failure.empty();
    if (!success) {
        display.Text(texts::kWriteError);
        display.Result(false);
    }
    file.Close();
    display.Text(texts::kWriteDone);
    display.Progress(0);
    display.Enable(true);
    display.Result(success);
    return {success ? ProgramEnding::Success : ProgramEnding::WriteFailed, std::move(failure),
            static_cast<std::uint64_t>(offset)};
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
