#include "app/FileSelection.h"

#include <iostream>

#include "app/AppTexts.h"
#include "app/UiLanguage.h"
#include "platform/ExclusiveFileProbe.h"

namespace tarnwick {

FileSelection::FileSelection(UserPrompts& userPrompts, FirmwarePath& path)
    : prompts(userPrompts), firmwarePath(path) {}

FileSelection::Outcome FileSelection::Choose(DialogData& data) {
    // One entry, .bin files only, shown as it reads.
    const auto chosen = prompts.ChooseFileToOpen(Ui(texts::kBinFilter));
    if (!chosen) {
        return Outcome::Cancelled;
    }
    data.pathText = *chosen;
    std::string path = data.pathText.toStdString();

    // The job reads FirmwarePath on its own thread: published before the check, a file about
    // to be refused could be the one it takes.
    const Result<std::int64_t> length = ExclusiveFileProbe::Length(path);
    if (!length) {
        // Cleared before the message box, whose loop runs while it shows.
        firmwarePath.Set({});
        std::cerr << "tarnwick: " << length.error().Describe() << '\n';
        prompts.ShowMessage(Ui(texts::kOpenFileFailed));
        return Outcome::Failed;
    }
    firmwarePath.Set(std::move(path));
    data.fileLength = *length;
    return Outcome::Chosen;
}

}  // namespace tarnwick
