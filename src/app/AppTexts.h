#pragma once

namespace tarnwick::texts {

// The tool's own words, as people on the lines know them. Kept as they are.
inline constexpr const char* kMainCaption = "Tarnwick 2.0 版";
inline constexpr const char* kAboutCaption = "关于 Tarnwick";
inline constexpr const char* kAboutNotice = "VORTAN SPI Flash 烧写工具";
// String 101: the About item offered where the window menu would carry it.
inline constexpr const char* kAboutMenuItem = "关于 Quillon(&A)...";

inline constexpr const char* kAlreadyRunning = "程序已经运行!";
inline constexpr const char* kInitError = "系统初始化错误，无法搜索烧写器。";
inline constexpr const char* kOpenFileFailed = "打开文件失败";
inline constexpr const char* kEnterInteger = "请输入一个整数。";
inline constexpr const char* kBinFilter = "Bin 文件 Files (*.bin)";
inline constexpr const char* kOpenTitle = "打开";
inline constexpr const char* kSaveTitle = "另存为";
// The read-back's save dialog: .bin files, or any file ("*.*" would hide names without a dot).
inline constexpr const char* kReadBackFilter = "BIN 文件 Files (*.bin);;All Files (*)";

// Captions of the (hidden) group box 1013.
inline constexpr const char* kProgrammerFileInfo = "烧写器文件信息";
inline constexpr const char* kFileProgrammed = "文件信息--已经烧写";

// The status icon's tooltip: where the programmer is, or what to do when there is none.
inline constexpr const char* kPresentOn = "烧写器已连接：%1";
inline constexpr const char* kPresentOnPort = "烧写器已连接：%1（USB 端口 %2）";
inline constexpr const char* kPresentOnPortSerial = "烧写器已连接：%1（USB 端口 %2，序列号 %3）";
inline constexpr const char* kPresentOnSerial = "烧写器已连接：%1（序列号 %2）";
inline constexpr const char* kNoProgrammerFound =
    "未找到烧写器。\n"
    "运行 tarnwick-cli list 可查看每个设备未被当作烧写器的原因；\n"
    "安装 Tarnwick 的 udev 规则后，无需 root 权限即可使用烧写器。";

// The name that marks a running copy in the user's session.
inline constexpr const char* kInstanceLockName = "KX417 spi flash Quillon001";

}  // namespace tarnwick::texts
