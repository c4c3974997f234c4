#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>
#include <ostream>
#include <string_view>

namespace tarnwick {

// The dialog's words are the Chinese originals; every text it shows goes through Ui(), which
// gives the installed translation of it, or the original when there is none. The layers below
// keep their exact bytes (a job's stdout line is matched by scripts); only what a person reads
// in the dialog is translated, when it is shown.
inline constexpr const char* kTranslationContext = "Tarnwick";
QString Ui(const char* text);
QString Ui(std::string_view text);

enum class UiLanguage { Chinese, English };

// Chinese under a Chinese locale and under C/POSIX (the texts as the lines know them); English
// under every other, which is what a person who reads no Chinese is most likely to read.
UiLanguage UiLanguageFor(const QLocale& locale);

// Installs, for as long as it lives, the dialog's translation for `locale` and Qt's own for
// the same language, so no screen mixes two: English needs only the dialog's (Qt's own
// dialogs are English), Chinese only Qt's qtbase_zh_CN from its translations directory. A
// file that cannot be loaded is told on `diagnostics` and the run goes on: without the
// dialog's English it stays Chinese, without Qt's Chinese the message box buttons and the file
// chooser stay in Qt's built-in English. Needs a QCoreApplication; main thread.
class UiTranslations {
  public:
    UiTranslations(const QLocale& locale, std::ostream& diagnostics);
    ~UiTranslations();
    UiTranslations(const UiTranslations&) = delete;
    UiTranslations& operator=(const UiTranslations&) = delete;

    UiLanguage Language() const { return language; }
    // Qt's own dialogs speak the dialog's language (English needs no file for that).
    bool QtFollows() const { return qtFollows; }

  private:
    UiLanguage language = UiLanguage::Chinese;
    bool qtFollows = false;
    QTranslator dialog;
    QTranslator qt;
};

}  // namespace tarnwick
