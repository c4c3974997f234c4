#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "jobs/ProgramJob.h"
#include "link/CCodeProgram.h"
#include "link/PassThrough.h"

namespace tarnwick {

enum class ReadBackEnding {
    Success,
    NotAnswering,  // no programmer, or it did not answer the link query: no file is created
    OpenFailed,    // the output file cannot be created
    ReadFailed,    // a page read or a file write failed: the partial file is removed
    Cancelled,     // stopped: the partial file is removed
};

struct ReadBackResult {
    ReadBackEnding ending = ReadBackEnding::Success;
    std::optional<Fault> fault;  // what ended it short of success; none on success
    std::uint64_t bytesWritten = 0;
};

// Saves the flash from address 0 into a file, in whole 512-byte pages: `length` / 512 of them
// (a partial last page is dropped; below 512 the file stays empty). Never leaves a file that
// looks complete but holds bytes the programmer did not send.
// In two steps, so a caller can settle the length between them: Open asks the programmer and
// creates the file (quick), ReadPages reads (long; may run on another thread than Open).
class FlashReadBack {
  public:
    FlashReadBack() = default;
    FlashReadBack(const FlashReadBack&) = delete;
    FlashReadBack& operator=(const FlashReadBack&) = delete;
    ~FlashReadBack();

    // The link query first: a programmer that does not answer gets no file created.
    ReadBackResult Open(std::shared_ptr<PassThrough> device, const std::string& path);
    // Only after a successful Open.
    ReadBackResult ReadPages(std::int64_t length, ProgressObserver* progress = nullptr,
                             std::stop_token stop = {});

  private:
    // The output file, made empty; refuses what is no regular file.
    Result<void> Create(const std::string& outputPath);
    ReadBackResult Abandon(ReadBackEnding ending, Fault fault);

    CCodeProgram program;
    std::FILE* file = nullptr;
    std::string path;
};

// Both steps at once.
ReadBackResult ReadFlashToFile(std::shared_ptr<PassThrough> device, const std::string& path,
                               std::int64_t length, ProgressObserver* progress = nullptr,
                               std::stop_token stop = {});

// The message a person sees for an ending, as the dialog shows it; null for none.
const char* ReadBackMessage(ReadBackEnding ending);

}  // namespace tarnwick
