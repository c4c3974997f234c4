#include "app/UpdateToolPrompts.h"

#include <utility>

#include "app/UiLanguage.h"
#include "service/UpdateTool.h"

namespace tarnwick {

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

UpdateToolPrompts::UpdateToolPrompts(UserPrompts& userPrompts, DialogData& dialogData,
                                     std::function<void()> refresh)
    : prompts(userPrompts), data(dialogData), refreshFields(std::move(refresh)) {}

std::optional<std::string> UpdateToolPrompts::ChooseImagePath() {
    const auto chosen = prompts.ChooseNameToOpen(Ui(kImageFileFilter));
    if (!chosen) {
        return std::nullopt;
    }
    return chosen->toStdString();
}

void UpdateToolPrompts::SetPathText(const std::string& path) {
    data.pathText = FromUtf8(path);
}

void UpdateToolPrompts::ShowMessage(const std::string& text) {
    prompts.ShowMessage(Ui(text));
}

void UpdateToolPrompts::RefreshFields() {
    refreshFields();
}

}  // namespace tarnwick
