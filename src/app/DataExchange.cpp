#include "app/DataExchange.h"

#include <QLineEdit>

#include "app/AppTexts.h"
#include "app/UiLanguage.h"

namespace tarnwick {

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

}  // namespace

void DataExchange::ToControls(const DialogData& data, QLineEdit& pathEdit, QLineEdit& lengthEdit) {
    pathEdit.setText(data.pathText);
    lengthEdit.setText(QString::number(data.fileLength));
}

bool DataExchange::FromControls(DialogData& data, QLineEdit& pathEdit, QLineEdit& lengthEdit,
                                UserPrompts& prompts) {
    data.pathText = pathEdit.text();
    const auto length = ParseInteger(lengthEdit.text());
    if (!length) {
        prompts.ShowMessage(Ui(texts::kEnterInteger));
        lengthEdit.setFocus(Qt::OtherFocusReason);
        lengthEdit.selectAll();
        return false;
    }
    data.fileLength = *length;
    return true;
}

std::optional<std::int64_t> DataExchange::ParseInteger(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    const QString number = text.mid(begin, end - begin);
    // Digits only after an optional sign: no hex, no spaces inside, no plus-minus tricks.
    qsizetype first = number.startsWith(u'-') || number.startsWith(u'+') ? 1 : 0;
    if (first >= number.size()) {
        return std::nullopt;
    }
    for (qsizetype i = first; i < number.size(); ++i) {
        if (number[i] < u'0' || number[i] > u'9') {
            return std::nullopt;
        }
    }
    bool ok = false;
    const qlonglong value = number.toLongLong(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace tarnwick
