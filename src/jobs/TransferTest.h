#pragma once

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>

#include "display/DisplaySink.h"
#include "jobs/ProgramJob.h"
#include "link/PassThrough.h"

namespace tarnwick {

struct TransferTestResult {
    bool started = false;             // false: no programmer, or it did not answer
    std::uint64_t cycles = 0;         // cycles run
    std::uint64_t statusErrors = 0;   // cycles whose write status was not 0
    std::uint64_t compareErrors = 0;  // cycles whose read-back differed from the pattern
    bool cancelled = false;
};

// Exercises the transfer path: writes a 2048-byte pattern (byte k = k mod 64) at ascending
// addresses without erasing, asks for the write status and reads the block back, reporting
// each bad cycle as a line on the display. Runs every cycle that fits below `boundBytes`, or
// until stopped. Blocks; runs on a worker thread.
class TransferTest {
  public:
    static constexpr std::uint32_t kBlockBytes = 2048;
    static constexpr std::uint64_t kDefaultBound = 16u << 20;  // the emulated flash's size

    explicit TransferTest(DisplaySink& sink, ProgressObserver* observer = nullptr)
        : display(sink), progress(observer) {}

    TransferTestResult Run(std::shared_ptr<PassThrough> device,
                           std::uint64_t boundBytes = kDefaultBound, std::stop_token stop = {});

  private:
    DisplaySink& display;
    ProgressObserver* progress;
};

}  // namespace tarnwick
