#pragma once

#include <optional>
#include <string>

namespace tarnwick {

// What the image-registration command needs from the dialog that hosts it.
// Called on the dialog's thread only; each call blocks until the person or the widgets are
// done. None of them can fail.
class UpdateToolUi {
  public:
    virtual ~UpdateToolUi() = default;

    // Modal open-file dialog offering kImageFileFilter. The person may type any name, and the
    // file need not exist. Returns the full path chosen, or nullopt unless the answer was OK.
    virtual std::optional<std::string> ChooseImagePath() = 0;

    // Stores `path` as the dialog's path text (the file the exit copy takes). The fields are
    // repainted only by RefreshFields, after any message has been dismissed.
    virtual void SetPathText(const std::string& path) = 0;

    // Modal notice with a single OK button.
    virtual void ShowMessage(const std::string& text) = 0;

    // Shows the dialog's current path text and file length in their fields.
    virtual void RefreshFields() = 0;
};

}  // namespace tarnwick
