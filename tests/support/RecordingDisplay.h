#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "display/DisplaySink.h"

namespace tarnwick::testing {

// One display command as it arrived, with its text copied at once (the sender reuses buffers).
struct Shown {
    int command = 0;
    std::int64_t value = 0;
    std::string text;
    bool operator==(const Shown&) const = default;
};

Shown Reset();
Shown Text(std::string text);
Shown Progress(std::int64_t percent);
Shown Enable(bool on);
Shown Bar(bool success);  // the job's ending shown: green or red

// Records display commands and message boxes from any thread.
class RecordingDisplay : public DisplaySink, public MessageBoxSink {
  public:
    void Send(const DisplayMessage& message) override;
    void ShowMessage(const char* text) override;

    std::vector<Shown> Commands() const;
    std::vector<std::int64_t> ProgressValues() const;
    std::vector<std::string> MessageBoxes() const;

  private:
    mutable std::mutex mutex;
    std::vector<Shown> commands;
    std::vector<std::string> boxes;
};

}  // namespace tarnwick::testing
