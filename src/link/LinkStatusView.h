#pragma once

#include "display/DisplayCommand.h"

namespace tarnwick {

// Status icons (resource numbers of the dialog).
inline constexpr int kIconProgrammerPresent = 129;
inline constexpr int kIconNoProgrammer = 130;

// What a status update after a scan changes: the update button, the status icon, the log list
// and the progress bar. Implemented by the dialog and by the command line.
// Called on the display's own thread only; every call returns once the change is made. Never
// fails: a view that cannot show something drops it.
class LinkStatusView {
  public:
    virtual ~LinkStatusView() = default;
    virtual void SetUpdateEnabled(bool enabled) = 0;
    virtual void SetStatusIcon(int icon) = 0;  // kIconProgrammerPresent or kIconNoProgrammer
    virtual void ClearLog() = 0;
    // A display command, handled as if a job had sent it (DISPLAY_PROGRESS 0 resets the bar).
    virtual void SendDisplay(const DisplayMessage& message) = 0;
};

}  // namespace tarnwick
