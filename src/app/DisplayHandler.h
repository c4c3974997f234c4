#pragma once

#include <cstdint>
#include <string>

#include "app/DialogControls.h"
#include "app/ProgrammerFileInfo.h"
#include "display/DisplayEffects.h"

namespace tarnwick {

// The dialog's side of the display messages: a display command carried as wParam/lParam
// turned into its effect on the log list, the bar and the update button, and the programmer
// file-information display.
// Dialog thread only; returns once the controls have changed. Never fails: an unknown command
// and an unreadable file change nothing.
class DisplayHandler {
  public:
    DisplayHandler(DisplayTarget& target, const DialogControls& controls,
                   const ProgrammerFileInfo& info);

    // "PROGRAM_MSG_TO_DISPLASY": wParam the command, lParam its value, or for DISPLAY_TEXT
    // the address of a zero-terminated UTF-8 text, which is copied into the list.
    void OnDisplayCommand(std::uintptr_t wParam, std::intptr_t lParam);

    // "PROGRAM_MSG_DISPLASY_INF": caption of group 1013, the info text file into the list,
    // the file version into edit 1012 and the chip model into edit 1014.
    void OnFileInfo();

    // Replaces the log lines by the non-empty lines of a text file; a file that cannot be
    // opened leaves the list as it is.
    void LoadListFromFile(const std::string& path);

  private:
    DisplayTarget& target;
    const DialogControls& controls;
    const ProgrammerFileInfo& info;
};

}  // namespace tarnwick
