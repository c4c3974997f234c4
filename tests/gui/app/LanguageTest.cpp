// The dialog in the language of its locale: English under English, the Chinese originals under
// Chinese and C, Qt's own texts in the same language; the status icon's tooltip.
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "AppHarness.h"
#include "TempFile.h"
#include "app/AppTexts.h"
#include "app/StatusToolTip.h"
#include "app/UiLanguage.h"
#include "jobs/JobTexts.h"
#include "jobs/ReadBack.h"
#include "service/UpdateTool.h"

using namespace tarnwick;
using namespace tarnwick::testing;

class LanguageTest : public QObject {
    Q_OBJECT

  private slots:
    void aJobAsAPersonSeesIt_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("english");
        QTest::newRow("C") << "C" << false;
        QTest::newRow("zh_CN") << "zh_CN.UTF-8" << false;
        QTest::newRow("en_US") << "en_US.UTF-8" << true;
    }

    // No programmer, then one; the update button without a file, then with one whose erase
    // fails. The erase failure's stdout line keeps its bytes in every language.
    void aJobAsAPersonSeesIt() {
        QFETCH(QString, locale);
        QFETCH(bool, english);
        std::ostringstream told;
        const UiTranslations translations{QLocale(locale), told};
        QVERIFY2(translations.QtFollows(), told.str().c_str());
        const TempFile file(PatternBytes(1000), "firmware.bin");
        DialogHarness h({.attached = false, .faults = {.failEraseBlock = 0}});
        auto* icon = h.Control<QLabel>(ids::kStatusIcon);
        QStringList shown{QCoreApplication::translate("QPlatformTheme", "OK"),
                          h.dialog().windowTitle(),
                          h.Control<QPushButton>(ids::kUpdateButton)->text(),
                          icon->toolTip().section('\n', 0, 0)};
        QVERIFY(icon->toolTip().contains("tarnwick-cli list") && icon->toolTip().contains("udev"));
        h.Plug();
        QTRY_VERIFY(ShowsIcon(h.dialog(), kIconProgrammerPresent));
        h.dialog().OnCommand(ids::kUpdateButton);
        QTRY_VERIFY(!h.dialog().Jobs().Busy());
        h.ChooseFile(Q(file.Path()));
        h.dialog().OnCommand(ids::kUpdateButton);
        QTRY_VERIFY(!h.dialog().Jobs().Busy() && h.dialog().Jobs().LastResult());
        shown << icon->toolTip() << h.prompts.messages << LogLines(h.dialog());
        const std::pair<const char*, const char*> expected[] = {
            {"OK", "确定"},
            {"Tarnwick 2.0", texts::kMainCaption},
            {"Write file", "更新文件"},
            {"No programmer found.", "未找到烧写器。"},
            {"Programmer present on emulated /dev/sg0", "烧写器已连接：emulated /dev/sg0"},
            {"Please choose a file to write!", texts::kChooseFile},
            {"Erasing flash..", texts::kErasing},
            {"Erasing flash failed..", texts::kEraseFailed},
        };
        QCOMPARE(shown.size(), std::ssize(expected));
        for (qsizetype i = 0; i < shown.size(); ++i) {
            const auto& [en, zh] = expected[i];
            QCOMPARE(shown[i], QString::fromUtf8(english ? en : zh));
        }
        QVERIFY(h.diagnostics.str().find(texts::kEraseFailedStdout) != std::string::npos);
    }

    // A text missing from the translation, or whose source no longer matches its bytes, would
    // show Chinese in the English dialog; a lost placeholder would drop the port or the serial.
    void everyTextOfTheDialogHasItsEnglish() {
        std::ostringstream told;
        const UiTranslations english{QLocale(QLocale::English), told};
        std::vector<const char*> all{texts::kAboutMenuItem,   texts::kAlreadyRunning,
                                     texts::kInitError,       texts::kEnterInteger,
                                     texts::kOpenFileFailed,  texts::kBinFilter,
                                     texts::kOpenTitle,       texts::kSaveTitle,
                                     texts::kReadBackFilter,  texts::kProgrammerFileInfo,
                                     texts::kFileProgrammed,  texts::kNotOnline,
                                     texts::kOpenFailed,      texts::kEmptyFile,
                                     texts::kWriting,         texts::kWriteDone,
                                     kImageFileFilter.data(), kImageAlreadyPresentMessage.data()};
        for (const auto ending : {ReadBackEnding::OpenFailed, ReadBackEnding::ReadFailed}) {
            all.push_back(ReadBackMessage(ending));
        }
        for (const DialogTemplate* dialog : {&MainDialogTemplate(), &AboutDialogTemplate()}) {
            all.push_back(dialog->caption);
            for (const ControlTemplate& control : dialog->controls) {
                all.push_back(control.text);
            }
        }
        for (const char* text : all) {
            QVERIFY2(!Ui(text).contains(QRegularExpression("\\p{Han}")), text);
        }
        FoundProgrammer found{2, "/dev/sg1", UsbDeviceAddress{1, 7}, "1-2.3", "A01"};
        QCOMPARE(StatusToolTip(found),
                 "Programmer present on /dev/sg1 (USB port 1-2.3, serial A01)");
        found.usbPort.clear();
        QCOMPARE(StatusToolTip(found), "Programmer present on /dev/sg1 (serial A01)");
    }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
