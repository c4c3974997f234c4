#pragma once

#include <cstdint>

namespace tarnwick {

// What a job asks the display to do. Values are part of the message protocol and must not move;
// any other value reaching the display is ignored.
enum DisplayCommand : int {
    DISPLAY_RESET = 0,     // empty the log list, bar back to 0
    DISPLAY_TEXT = 1,      // append `text` to the log list
    DISPLAY_PROGRESS = 2,  // working colours, bar to `value` percent
    DISPLAY_ENABLE = 3,    // update button enabled when `value` != 0
    DISPLAY_RESULT = 4,    // solid green (`value` != 0) or red bar at 100
};

struct DisplayMessage {
    int command = DISPLAY_RESET;  // an int, not the enum: unknown commands must be representable
    std::int64_t value = 0;
    const char* text = nullptr;  // DISPLAY_TEXT only; UTF-8, zero-terminated
};

}  // namespace tarnwick
