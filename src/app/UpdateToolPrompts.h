#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/DialogData.h"
#include "app/UserPrompts.h"
#include "service/UpdateToolUi.h"

namespace tarnwick {

// The image registration's questions and changes, on the dialog: its prompts, its path text
// and its fields. Paths cross as UTF-8, the way the image list keeps them.
// Dialog thread only, for the length of one command; blocks while a prompt shows.
class UpdateToolPrompts final : public UpdateToolUi {
  public:
    // `refreshFields` shows the dialog's values in its edits.
    UpdateToolPrompts(UserPrompts& prompts, DialogData& data, std::function<void()> refreshFields);

    std::optional<std::string> ChooseImagePath() override;
    void SetPathText(const std::string& path) override;
    void ShowMessage(const std::string& text) override;
    void RefreshFields() override;

  private:
    UserPrompts& prompts;
    DialogData& data;
    std::function<void()> refreshFields;
};

}  // namespace tarnwick
