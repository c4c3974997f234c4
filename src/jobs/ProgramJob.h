#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>

#include "display/DisplaySink.h"
#include "jobs/FirmwareFile.h"
#include "jobs/FirmwarePath.h"
#include "link/CCodeProgram.h"
#include "link/Fault.h"
#include "link/ProgrammerLink.h"

namespace tarnwick {

enum class ProgramEnding {
    Success,
    NoFile,        // no firmware file chosen
    NoProgrammer,  // none appeared before the wait ended
    NotAnswering,  // link-status query failed
    OpenFailed,    // firmware file cannot be opened or read
    EmptyFile,     // nothing to write
    EraseFailed,
    WriteFailed,
    Cancelled,  // the application is closing
};

struct ProgramResult {
    ProgramEnding ending = ProgramEnding::Success;
    std::optional<Fault> fault;  // what ended the job short of success, and where; none on success
    // Bytes of the file the programmer confirmed; on success the whole file as it was opened.
    std::uint64_t bytesWritten = 0;
};

// Told after each page the programmer confirmed. Called on the job's thread; must be quick.
class ProgressObserver {
  public:
    virtual ~ProgressObserver() = default;
    virtual void PageConfirmed(std::uint64_t bytesDone, std::uint64_t totalBytes) = 0;
};

// Writes the chosen firmware file into the programmer's flash from address 0: erases every
// 64 KiB block the file touches, then writes 512-byte pages, each confirmed by a write-status
// query and sent again (up to 10 times) when the programmer asks or the write request failed.
// Success only if every page was confirmed and the file is still the one it opened. Reports to
// the person only through the display sink, the message box sink and one diagnostic line.
// Runs on a worker thread; blocks for the whole job.
class ProgramJob {
  public:
    static constexpr int kMaxResends = 10;

    ProgramJob(ProgrammerLink& link, const FirmwarePath& firmwarePath, DisplaySink& display,
               MessageBoxSink& messageBoxes, std::ostream& diagnostics);

    void SetProgressObserver(ProgressObserver* observer) { progress = observer; }

    // Waits for a programmer (until `deadline`, if given), then runs ProgramFlash.
    ProgramResult ProgramThreadProc(
        std::stop_token stop,
        std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

    // The job on the programmer that is current now. `stop` ends it before the next command
    // (a command already sent runs to its end or its time-out).
    ProgramResult ProgramFlash(std::stop_token stop = {});

  private:
    // The job's steps, in order. A step that ends the job early returns that ending.
    std::optional<ProgramResult> OpenImage(FirmwareFile& file, const std::string& path);
    std::optional<ProgramResult> EraseBlocks(CCodeProgram& program, std::int64_t length,
                                             const std::stop_token& stop);
    ProgramResult WritePages(CCodeProgram& program, FirmwareFile& file,
                             const std::stop_token& stop);
    ProgramResult ShowEnding(FirmwareFile& file, ProgramResult written);

    ProgramResult EndWithRedBar(const char* line, ProgramEnding ending, Fault fault);

    ProgrammerLink& link;
    const FirmwarePath& firmwarePath;
    DisplaySink& display;
    MessageBoxSink& messageBoxes;
    std::ostream& diagnostics;
    ProgressObserver* progress = nullptr;
};

const char* ToString(ProgramEnding ending);

}  // namespace tarnwick
