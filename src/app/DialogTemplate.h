#pragma once

#include <span>

namespace tarnwick {

// Control and command ids of the main dialog and the About box. Other tools address the
// controls by these numbers, so they never change.
namespace ids {
inline constexpr int kStatic = -1;  // labels nobody addresses
inline constexpr int kOk = 1;
inline constexpr int kPathEdit = 1000;
inline constexpr int kUpdateButton = 1001;
inline constexpr int kProgressBar = 1002;
inline constexpr int kSelectFileButton = 1005;
inline constexpr int kLogList = 1006;
inline constexpr int kStatusIcon = 1007;
inline constexpr int kReadFileButton = 1008;
inline constexpr int kTransferTestButton = 1009;
inline constexpr int kUpdateQuillonCheck = 1010;
inline constexpr int kScramblerButton = 1011;
inline constexpr int kFileVersionEdit = 1012;
inline constexpr int kInfoGroup = 1013;
inline constexpr int kChipModelEdit = 1014;
inline constexpr int kLengthEdit = 1015;
inline constexpr int kCmdExit = 32771;
inline constexpr int kCmdUpdateTool = 32772;
}  // namespace ids

// Resource numbers of the dialogs and the icons: the application's, and the status icon's for
// a programmer present and for none.
inline constexpr int kAboutDialogResource = 100;
inline constexpr int kMainDialogResource = 102;
inline constexpr int kIconApplication = 128;
inline constexpr int kIconProgrammerPresent = 129;
inline constexpr int kIconNoProgrammer = 130;

enum class ControlKind {
    Label,          // static, left-aligned text
    Icon,           // static showing an icon; sizes itself to the icon
    Edit,           // single-line edit with auto horizontal scroll
    PushButton,     // never the default button: Enter does not press it
    DefPushButton,  // the default button of its dialog
    GroupBox,
    CheckBox,
    ListBox,  // unsorted, no selection
    Progress,
};

// One control of a dialog template. Positions and sizes are dialog units.
struct ControlTemplate {
    int id = ids::kStatic;
    ControlKind kind = ControlKind::Label;
    const char* text = "";  // UTF-8
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool visible = true;
    bool enabled = true;
    bool tabStop = false;
    bool border = false;
    bool readOnly = false;
    int icon = 0;  // Icon only: the icon resource shown from the start, 0 for none
};

struct DialogTemplate {
    int resource = 0;
    const char* caption = "";
    const char* fontFamily = "";
    int fontPoints = 0;
    int width = 0;  // client area, dialog units
    int height = 0;
    std::span<const ControlTemplate> controls;  // template order, which is also the tab order
};

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();

}  // namespace tarnwick
