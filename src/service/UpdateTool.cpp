#include "service/UpdateTool.h"

#include <optional>
#include <string>

namespace tarnwick {

void RunUpdateTool(ImageList& images, UpdateToolUi& ui) {
    const std::optional<std::string> chosen = ui.ChooseImagePath();
    // Toolkits that report a cancel as an empty path would otherwise register "" as an image.
    if (!chosen || chosen->empty()) {
        return;
    }
    ui.SetPathText(*chosen);
    if (!images.AddImage(*chosen)) {
        ui.ShowMessage(std::string(kImageAlreadyPresentMessage));
    }
    ui.RefreshFields();
}

}  // namespace tarnwick
