#pragma once

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

#include "jobs/ProgramJob.h"
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
    std::string detail;
    std::uint64_t bytesWritten = 0;
};

// Saves the flash from address 0 into `path`, in whole 512-byte pages: `length` / 512 of them
// (a partial last page is dropped; below 512 the file stays empty). Never leaves a file that
// looks complete but holds bytes the programmer did not send. Blocks for the whole read-back.
ReadBackResult ReadFlashToFile(std::shared_ptr<PassThrough> device, const std::string& path,
                               std::int64_t length, ProgressObserver* progress = nullptr,
                               std::stop_token stop = {});

// The message a person sees for an ending, as the dialog shows it; null for none.
const char* ReadBackMessage(ReadBackEnding ending);

}  // namespace tarnwick
