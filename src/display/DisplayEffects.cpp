#include "display/DisplayEffects.h"

namespace tarnwick {

void ClearLog(DisplayTarget& target) {
    while (target.LogLineCount() > 0) {
        target.DeleteLogLine(0);
    }
}

void ApplyDisplayMessage(DisplayTarget& target, const DisplayMessage& message) {
    switch (message.command) {
        case DISPLAY_RESET:
            ClearLog(target);
            target.SetBarPos(0);
            break;
        case DISPLAY_TEXT:
            if (message.text != nullptr) {
                target.AppendLogLine(message.text);
            }
            break;
        case DISPLAY_PROGRESS:
            target.SetBarColours(kWorkingColours);
            target.SetBarPos(static_cast<int>(message.value));
            break;
        case DISPLAY_ENABLE:
            target.EnableUpdateButton(message.value != 0);
            break;
        case DISPLAY_RESULT:
            target.SetBarColours(message.value != 0 ? kSuccessColours : kFailureColours);
            target.SetBarPos(100);
            break;
        default:
            break;
    }
}

}  // namespace tarnwick
