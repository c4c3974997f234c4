#pragma once

namespace tarnwick::texts {

// The jobs' own words, as people on the lines know them. Kept byte for byte.
inline constexpr const char* kChooseFile = "请选择烧写文件！";
inline constexpr const char* kNotOnline = "设备不在线.. ";
inline constexpr const char* kOpenFailed = "打开烧写文件失败.. ";
inline constexpr const char* kEmptyFile = "烧写文件为空.. ";
inline constexpr const char* kErasing = "擦除Flash 中..";
inline constexpr const char* kEraseFailed = "擦除Flash 失败.. ";
// Standard-output line of an erase failure; scripts may match it, typo included.
inline constexpr const char* kEraseFailedStdout = "擦出Flash 失败..\n";
inline constexpr const char* kWriting = "写入数据中..";
inline constexpr const char* kWriteError = "write data err ..";
inline constexpr const char* kWriteDone = "写入数据完成..";

}  // namespace tarnwick::texts
