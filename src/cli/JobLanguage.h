#pragma once

#include <string>

namespace tarnwick::cli {

// The language of the person at the terminal, from LC_ALL, LC_MESSAGES and LANG (the first one
// set), without setlocale: a locale need not be generated on the machine to be asked for.
enum class PersonLanguage {
    Chinese,  // zh*
    English,  // an English locale, and any other but Chinese, C and POSIX
    None,     // C, C.*, POSIX, or nothing set
};
PersonLanguage LanguageOfPerson();

// The job's Chinese texts in English: under any locale that names a language but Chinese.
bool PersonReadsEnglish();

// A job's own line (the texts the programmer's people know, in Chinese) as the person reads it:
// in English under an English locale, byte for byte as the job said it otherwise. Results
// scripts read (the erase failure's standard-output line, JSON, the log) never pass here.
std::string JobLine(const std::string& text);

}  // namespace tarnwick::cli
