#include "RecordingDisplay.h"

namespace tarnwick::testing {

Shown Reset() {
    return {DISPLAY_RESET, 0, {}};
}
Shown Text(std::string text) {
    return {DISPLAY_TEXT, 0, std::move(text)};
}
Shown Progress(std::int64_t percent) {
    return {DISPLAY_PROGRESS, percent, {}};
}
Shown Enable(bool on) {
    return {DISPLAY_ENABLE, on ? 1 : 0, {}};
}
Shown Bar(bool success) {
    return {DISPLAY_RESULT, success ? 1 : 0, {}};
}

void RecordingDisplay::Send(const DisplayMessage& message) {
    std::lock_guard lock(mutex);
    commands.push_back({message.command, message.value,
                        message.text != nullptr ? std::string(message.text) : std::string()});
}

void RecordingDisplay::ShowMessage(const char* text) {
    std::lock_guard lock(mutex);
    boxes.emplace_back(text);
}

std::vector<Shown> RecordingDisplay::Commands() const {
    std::lock_guard lock(mutex);
    return commands;
}

std::vector<std::int64_t> RecordingDisplay::ProgressValues() const {
    std::lock_guard lock(mutex);
    std::vector<std::int64_t> out;
    for (const Shown& s : commands) {
        if (s.command == DISPLAY_PROGRESS) {
            out.push_back(s.value);
        }
    }
    return out;
}

std::vector<std::string> RecordingDisplay::MessageBoxes() const {
    std::lock_guard lock(mutex);
    return boxes;
}

}  // namespace tarnwick::testing
