#include "jobs/ProgramJob.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "jobs/JobTexts.h"

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

ProgramResult Ended(ProgramEnding ending, Fault fault, std::int64_t bytesWritten = 0) {
    return {ending, std::move(fault), static_cast<std::uint64_t>(bytesWritten)};
}

ProgramResult Ended(ProgramEnding ending, std::string cause, std::int64_t bytesWritten = 0) {
    return Ended(ending, Fault::Because(std::move(cause)), bytesWritten);
}

// One page, sent again for as long as the programmer asks and the resends last. The whole
// resend policy: a failed request, a failed status query, a garbled reply and status 1 all send
// the page again; status 0 takes it; any other status refuses it for good.
ProgramResult WritePageUntilTaken(CCodeProgram& program, std::int64_t offset,
                                  const std::uint8_t* page, const std::stop_token& stop) {
    constexpr int kLimit = ProgramJob::kMaxResends;
    const auto address = static_cast<std::int32_t>(offset);
    // Built only for a problem: a page that is taken at once needs no text (nor an allocation).
    const auto afterResends = [] { return " after " + std::to_string(kLimit) + " resends"; };
    std::optional<Fault> lastProblem;  // why the last attempt was not taken, if not by request
    for (int attempt = 0; attempt <= kLimit; ++attempt) {
        if (attempt > 0 && stop.stop_requested()) {
            return Ended(ProgramEnding::Cancelled, At("stopped while resending the page", offset),
                         offset);
        }
        // A request that failed may never have reached the programmer: a status query now would
        // tell about an earlier page, so none is sent and the page simply goes again.
        if (auto sent = program.WriteFlash(address, kPageSize, page); !sent) {
            lastProblem =
                std::move(sent.error()).Within("the write request failed" + afterResends());
            continue;
        }
        // A failed query or a reply with a wrong echo says nothing about the page, so it counts
        // as the programmer asking again.
        std::int32_t status = 1;
        if (auto asked = program.GetWriteStatus(status); !asked) {
            lastProblem = std::move(asked.error()).Within("no write status" + afterResends());
            continue;
        }
        if (status == 0) {
            return {};
        }
        if (status != 1) {
            return Ended(
                ProgramEnding::WriteFailed,
                Fault::Because("programmer reported write status " + std::to_string(status))
                    .Within(At("page write", offset)),
                offset);
        }
        lastProblem.reset();
    }
    Fault fault = lastProblem.value_or(Fault::Because("the programmer asked for the page again " +
                                                      std::to_string(kLimit) + " times"));
    return Ended(ProgramEnding::WriteFailed, std::move(fault).Within(At("page write", offset)),
                 offset);
}

// The next page of the file into `page`: `wanted` bytes, never fewer.
Result<void> ReadPage(FirmwareFile& file, std::int64_t offset, std::uint8_t* page,
                      std::size_t wanted) {
    if (std::fread(page, 1, wanted, file.Stream()) == wanted) {
        return {};
    }
    // The file shrank or cannot be read: the rest would be written from stale bytes.
    const bool failed = std::ferror(file.Stream()) != 0;
    const int error = errno;
    if (auto unchanged = file.Unchanged(); !unchanged) {
        return unchanged;
    }
    return Fail(
        Fault::Because(failed ? std::strerror(error) : "file ended early", failed ? error : 0)
            .Within(At("reading the firmware file", offset)));
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
        return Ended(ProgramEnding::Cancelled, "stopped while waiting for a programmer");
    }
    if (!device) {
        return Ended(ProgramEnding::NoProgrammer, "no programmer appeared in time");
    }
    if (firmwarePath.Get().empty()) {
        messageBoxes.ShowMessage(texts::kChooseFile);
        return Ended(ProgramEnding::NoFile, "no firmware file chosen");
    }
    return ProgramFlash(stop);
}

ProgramResult ProgramJob::ProgramFlash(std::stop_token stop) {
    if (stop.stop_requested()) {
        return Ended(ProgramEnding::Cancelled, "stopped before the job began");
    }
    display.Reset();
    CCodeProgram program;
    program.SetDevice(link.Device());

    const std::string path = firmwarePath.Get();
    if (path.empty()) {
        messageBoxes.ShowMessage(texts::kChooseFile);
        return Ended(ProgramEnding::NoFile, "no firmware file chosen");
    }
    std::int32_t linkStatus = 0;
    if (auto asked = program.GetLinkStatus(linkStatus); !asked) {
        display.Text(texts::kNotOnline);
        return Ended(ProgramEnding::NotAnswering,
                     std::move(asked.error()).Within("link status query"));
    }
    FirmwareFile file;
    if (auto ended = OpenImage(file, path)) {
        return *ended;
    }
    const auto length = static_cast<std::int64_t>(file.Length());
    if (auto ended = EraseBlocks(program, length, stop)) {
        return *ended;
    }
    ProgramResult written = WritePages(program, file, stop);
    if (written.ending == ProgramEnding::Cancelled) {
        return written;
    }
    return ShowEnding(file, std::move(written));
}

std::optional<ProgramResult> ProgramJob::OpenImage(FirmwareFile& file, const std::string& path) {
    if (auto opened = file.Open(path); !opened) {
        return EndWithRedBar(texts::kOpenFailed, ProgramEnding::OpenFailed,
                             std::move(opened.error()));
    }
    if (file.Length() > kMaxFileLength) {
        return EndWithRedBar(texts::kOpenFailed, ProgramEnding::OpenFailed,
                             Fault::Because("larger than the 4 GiB address space").Within(path));
    }
    if (file.Length() == 0) {
        // Nothing to erase or write; going on would divide by the length.
        return EndWithRedBar(texts::kEmptyFile, ProgramEnding::EmptyFile,
                             Fault::Because(path + " is empty"));
    }
    return std::nullopt;
}

std::optional<ProgramResult> ProgramJob::EraseBlocks(CCodeProgram& program, std::int64_t length,
                                                     const std::stop_token& stop) {
    display.Enable(false);
    display.Text(texts::kErasing);
    const std::int64_t blocks = (length + kEraseBlockSize - 1) / kEraseBlockSize;
    for (std::int64_t k = 0; k < blocks; ++k) {
        const std::int64_t address = k * kEraseBlockSize;
        if (stop.stop_requested()) {
            return Ended(ProgramEnding::Cancelled, At("stopped before the block erase", address));
        }
        if (auto erased = program.EraseBlock(static_cast<std::int32_t>(address)); !erased) {
            diagnostics << texts::kEraseFailedStdout << std::flush;
            return EndWithRedBar(texts::kEraseFailed, ProgramEnding::EraseFailed,
                                 std::move(erased.error()).Within(At("block erase", address)));
        }
    }
    return std::nullopt;
}

ProgramResult ProgramJob::WritePages(CCodeProgram& program, FirmwareFile& file,
                                     const std::stop_token& stop) {
    display.Text(texts::kWriting);
    const auto length = static_cast<std::int64_t>(file.Length());
    // Erased flash reads 0xFF, so a short first page pads with what the chip holds anyway.
    std::array<std::uint8_t, kPageSize> page;
    page.fill(0xFF);
    std::int64_t offset = 0;
    while (offset < length) {
        if (stop.stop_requested()) {
            return Ended(ProgramEnding::Cancelled, At("stopped before the page", offset), offset);
        }
        // Never more than the length taken at the start: bytes a growing file gained would be
        // written but never counted.
        const auto wanted =
            static_cast<std::size_t>(std::min<std::int64_t>(kPageSize, length - offset));
        if (auto read = ReadPage(file, offset, page.data(), wanted); !read) {
            return Ended(ProgramEnding::WriteFailed, std::move(read.error()), offset);
        }
        if (ProgramResult taken = WritePageUntilTaken(program, offset, page.data(), stop);
            taken.ending != ProgramEnding::Success) {
            return taken;
        }
        display.Progress(offset * 100 / length);
        offset += static_cast<std::int64_t>(wanted);
        if (progress != nullptr) {
            progress->PageConfirmed(static_cast<std::uint64_t>(offset),
                                    static_cast<std::uint64_t>(length));
        }
    }
    // Every page was confirmed, but they are the file's only if nobody changed it meanwhile.
    if (auto unchanged = file.Unchanged(); !unchanged) {
        return Ended(ProgramEnding::WriteFailed, std::move(unchanged.error()), offset);
    }
    return {ProgramEnding::Success, std::nullopt, static_cast<std::uint64_t>(offset)};
}

ProgramResult ProgramJob::ShowEnding(FirmwareFile& file, ProgramResult written) {
    const bool success = written.ending == ProgramEnding::Success;
    if (!success) {
        display.Text(texts::kWriteError);
        display.Result(false);
    }
    file.Close();
    display.Text(texts::kWriteDone);
    display.Progress(0);
    display.Enable(true);
    display.Result(success);
    return written;
}

ProgramResult ProgramJob::EndWithRedBar(const char* line, ProgramEnding ending, Fault fault) {
    display.Text(line);
    display.Progress(0);
    display.Enable(true);
    display.Result(false);
    return Ended(ending, std::move(fault));
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
