#include "app/UiLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace tarnwick {

namespace {

// Embedded from res/i18n; the installed copies under share/tarnwick/translations are for
// translators and packagers to look at, the program never needs them.
constexpr auto kDialogEnglish = ":/i18n/tarnwick_en.qm";
constexpr auto kQtChinese = "qtbase_zh_CN";

}  // namespace

QString Ui(const char* text) {
    return QCoreApplication::translate(kTranslationContext, text);
}

QString Ui(std::string_view text) {
    return Ui(std::string(text).c_str());
}

UiLanguage UiLanguageFor(const QLocale& locale) {
    const QLocale::Language language = locale.language();
    return language == QLocale::Chinese || language == QLocale::C ? UiLanguage::Chinese
                                                                  : UiLanguage::English;
}

UiTranslations::UiTranslations(const QLocale& locale, std::ostream& diagnostics) {
    if (UiLanguageFor(locale) == UiLanguage::English) {
        if (dialog.load(QString::fromLatin1(kDialogEnglish)) &&
            QCoreApplication::installTranslator(&dialog)) {
            language = UiLanguage::English;
            qtFollows = true;
            return;
        }
        diagnostics << "tarnwick: no English translation (" << kDialogEnglish
                    << "); the dialog stays Chinese\n";
    }
    const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (qt.load(QString::fromLatin1(kQtChinese), directory) &&
        QCoreApplication::installTranslator(&qt)) {
        qtFollows = true;
        return;
    }
    diagnostics << "tarnwick: no " << kQtChinese << ".qm in " << directory.toStdString()
                << " (Debian: qt6-translations-l10n); Qt's own buttons and file chooser "
                   "stay English\n";
}

UiTranslations::~UiTranslations() {
    QCoreApplication::removeTranslator(&dialog);
    QCoreApplication::removeTranslator(&qt);
}

}  // namespace tarnwick
