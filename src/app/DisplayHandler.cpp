#include "app/DisplayHandler.h"

#include <filesystem>
#include <fstream>

#include "app/AppTexts.h"
#include "app/DialogTemplate.h"
#include "app/UiLanguage.h"

namespace tarnwick {

DisplayHandler::DisplayHandler(DisplayTarget& displayTarget, const DialogControls& dialogControls,
                               const ProgrammerFileInfo& fileInfo)
    : target(displayTarget), controls(dialogControls), info(fileInfo) {}

void DisplayHandler::OnDisplayCommand(std::uintptr_t wParam, std::intptr_t lParam) {
    DisplayMessage message;
    // Anything past the known commands (a huge wParam included) is passed on as unknown.
    message.command = wParam <= DISPLAY_RESULT ? static_cast<int>(wParam) : -1;
    if (message.command == DISPLAY_TEXT) {
        message.text = reinterpret_cast<const char*>(lParam);
    } else {
        message.value = lParam;
    }
    ApplyDisplayMessage(target, message);
}

void DisplayHandler::OnFileInfo() {
    controls.SetText(ids::kInfoGroup, Ui(texts::kProgrammerFileInfo));
    LoadListFromFile(info.infoTextPath);
    const QString version =
        QString::asprintf("%08x-%04x", info.version[0], info.version[1]).toUpper();
    controls.SetText(ids::kFileVersionEdit, version);
    controls.SetText(ids::kChipModelEdit, QString::fromStdString(info.chipModel));
}

void DisplayHandler::LoadListFromFile(const std::string& path) {
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) {
        return;
    }
    std::ifstream file(path);
    if (!file) {
        return;
    }
    ClearLog(target);
    std::string line;
    while (std::getline(file, line)) {
        // Files written on Windows end their lines in CR LF; the CR is not part of the line.
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            target.AppendLogLine(line);
        }
    }
}

}  // namespace tarnwick
