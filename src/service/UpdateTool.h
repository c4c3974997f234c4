#pragma once

#include <string_view>

#include "service/ImageList.h"
#include "service/UpdateToolUi.h"

namespace tarnwick {

// Filter of the open-file dialog: .iso files are offered, any other name may still be typed.
inline constexpr std::string_view kImageFileFilter = "ISO 文件 Files (*.iso)";

// Shown when a registered path took the place of an entry that already held its file name.
inline constexpr std::string_view kImageAlreadyPresentMessage = "文件已经存在！";

// The "UpdateTool" command: asks for an image file and registers it in `images`.
// Cancelling (or an empty answer) changes nothing. Otherwise the chosen path becomes the
// dialog's path text, is registered, kImageAlreadyPresentMessage is shown when the file was
// already there, and the fields are refreshed. The firmware file chosen for programming and
// the file length are left alone. Runs on the dialog's thread and blocks while the dialogs
// are open.
void RunUpdateTool(ImageList& images, UpdateToolUi& ui);

}  // namespace tarnwick
