#include "app/FileSelection.h"

#include <QFile>
#include <iostream>

#include "app/AppTexts.h"
#include "app/ExclusiveFileProbe.h"

namespace tarnwick {

FileSelection::FileSelection(UserPrompts& userPrompts, FirmwarePath& path)
    : prompts(userPrompts), firmwarePath(path) {}

FileSelection::Outcome FileSelection::Choose(DialogData& data) {
    // One entry, .bin files only, shown as it reads.
    const auto chosen = prompts.ChooseFileToOpen(QString::fromUtf8(texts::kBinFilter));
    if (!chosen) {
        return Outcome::Cancelled;
    }
    data.pathText = *chosen;
    firmwarePath.Set(QFile::encodeName(data.pathText).toStdString());

    std::string reason;
    const auto length = ExclusiveFileProbe::Length(firmwarePath.Get(), &reason);
    if (!length) {
        std::cerr << "tarnwick: " << reason << '\n';
        prompts.ShowMessage(QString::fromUtf8(texts::kOpenFileFailed));
        firmwarePath.Set({});
        return Outcome::Failed;
    }
    data.fileLength = *length;
    return Outcome::Chosen;
}

}  // namespace tarnwick
