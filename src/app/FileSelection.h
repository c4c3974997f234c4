#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/DialogData.h"
#include "app/UserPrompts.h"
#include "jobs/FirmwarePath.h"
#include "link/Fault.h"

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

    // Whether the file may be taken, and its length; why not when it may not.
    using LengthProbe = std::function<Result<std::int64_t>(const std::string& path)>;

    // `probe`: ExclusiveFileProbe::Length unless a test watches the check.
    FileSelection(UserPrompts& prompts, FirmwarePath& firmwarePath, LengthProbe probe = {});

    // The chosen path goes into data.pathText even when the file then fails; the length only
    // on success. FirmwarePath changes only once the check has decided: to the path, or to
    // empty.
    Outcome Choose(DialogData& data);

  private:
    UserPrompts& prompts;
    FirmwarePath& firmwarePath;
    LengthProbe probe;
};

}  // namespace tarnwick
