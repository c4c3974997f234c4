#pragma once

#include "app/DialogData.h"
#include "app/UserPrompts.h"
#include "jobs/FirmwarePath.h"

namespace tarnwick {

// The "选择文件" button: asks for a .bin file, makes it the firmware the job writes and takes
// its length. Dialog thread only; blocks while the open dialog shows.
class FileSelection {
  public:
    enum class Outcome {
        Cancelled,  // nothing changed
        Chosen,     // path and length taken: the edits should show them
        Failed,  // "打开文件失败" shown; no firmware chosen any more, edits left as they were
    };

    FileSelection(UserPrompts& prompts, FirmwarePath& firmwarePath);

    // The chosen path goes into data.pathText even when the file then fails; the length only
    // on success. FirmwarePath changes only once the check has decided: to the path, or to
    // empty.
    Outcome Choose(DialogData& data);

  private:
    UserPrompts& prompts;
    FirmwarePath& firmwarePath;
};

}  // namespace tarnwick
