#pragma once

#include "display/DisplayCommand.h"

namespace tarnwick {

// Receives display commands from a job.
// Called from a worker thread or from the display's own thread. Blocks until the receiver has
// handled the message, so `text` may point into a buffer that the sender reuses at once; a
// message that would change nothing the receiver shows may be handled by returning at once.
// Never fails: a receiver that cannot show a message drops it.
class DisplaySink {
  public:
    virtual ~DisplaySink() = default;
    virtual void Send(const DisplayMessage& message) = 0;

    void Reset() { Send({DISPLAY_RESET, 0, nullptr}); }
    void Text(const char* text) { Send({DISPLAY_TEXT, 0, text}); }
    void Progress(std::int64_t percent) { Send({DISPLAY_PROGRESS, percent, nullptr}); }
    void Enable(bool enabled) { Send({DISPLAY_ENABLE, enabled ? 1 : 0, nullptr}); }
    void Result(bool success) { Send({DISPLAY_RESULT, success ? 1 : 0, nullptr}); }
};

// A modal notice with a single OK button.
// Called from any thread; blocks until the person has seen it (the console returns at once).
class MessageBoxSink {
  public:
    virtual ~MessageBoxSink() = default;
    virtual void ShowMessage(const char* text) = 0;
};

}  // namespace tarnwick
