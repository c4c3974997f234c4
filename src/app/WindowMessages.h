#pragma once

#include <cstdint>

namespace tarnwick {

// Message numbers of the dialog's window procedure. The fixed ones keep the values other
// tools send; the display messages get theirs from the MessageRegistry by name.
inline constexpr unsigned kWmCommand = 0x0111;       // wParam: control or command id
inline constexpr unsigned kWmSysCommand = 0x0112;    // wParam: system command
inline constexpr unsigned kWmDeviceChange = 0x0219;  // devices came, went or changed

// System commands: 0x0010 to 0x001F open the About box; SC_CLOSE ends the dialog.
inline constexpr unsigned kSysCommandAbout = 0x0010;
inline constexpr unsigned kSysCommandClose = 0xF060;

// Registered message names. The spelling ("DISPLASY") is the protocol's and must stay.
inline constexpr const char* kMsgToDisplay = "PROGRAM_MSG_TO_DISPLASY";
inline constexpr const char* kMsgDisplayInfo = "PROGRAM_MSG_DISPLASY_INF";
inline constexpr const char* kMsgFileInfo = "PROGRAM_MSG_FILE_INFO";

}  // namespace tarnwick
