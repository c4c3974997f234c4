#include "cli/JobLanguage.h"

#include <array>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "jobs/JobTexts.h"

namespace tarnwick::cli {

namespace {

// The same words as the dialog's English.
constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kEnglish{{
    {texts::kChooseFile, "Please choose a file to write!"},
    {texts::kNotOnline, "Device not online.."},
    {texts::kOpenFailed, "Cannot open the file to write.."},
    {texts::kEmptyFile, "The file to write is empty.."},
    {texts::kErasing, "Erasing flash.."},
    {texts::kEraseFailed, "Erasing flash failed.."},
    {texts::kWriting, "Writing data.."},
    {texts::kWriteDone, "Write finished.."},
    {"打开文件失败！", "Cannot create the file!"},
    {"读取Flash失败！", "Reading the flash failed!"},
    {"打开文件失败", "Cannot open the file"},
    {"文件已经存在！", "The file is already in the list!"},
}};

PersonLanguage LanguageFromEnvironment() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
            locale = value;
            break;
        }
    }
    if (locale == nullptr) {
        return PersonLanguage::None;
    }
    const std::string_view value(locale);
    if (value.starts_with("zh")) {
        return PersonLanguage::Chinese;
    }
    if (value == "C" || value.starts_with("C.") || value == "POSIX") {
        return PersonLanguage::None;
    }
    return PersonLanguage::English;
}

}  // namespace

PersonLanguage LanguageOfPerson() {
    static const PersonLanguage language = LanguageFromEnvironment();
    return language;
}

bool PersonReadsEnglish() {
    return LanguageOfPerson() == PersonLanguage::English;
}

std::string JobLine(const std::string& text) {
    if (!PersonReadsEnglish()) {
        return text;
    }
    for (const auto& [original, english] : kEnglish) {
        if (text == original) {
            return std::string(english);
        }
    }
    return text;
}

}  // namespace tarnwick::cli
