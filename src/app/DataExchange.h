#pragma once

#include <QString>
#include <optional>

#include "app/DialogData.h"
#include "app/UserPrompts.h"

class QLineEdit;

namespace tarnwick {

// Moves the dialog's values into its edits and back. Dialog thread only.
class DataExchange {
  public:
    static void ToControls(const DialogData& data, QLineEdit& pathEdit, QLineEdit& lengthEdit);

    // Takes the path, then the length. A length edit that holds no integer tells the person
    // "请输入一个整数。", puts the focus there with its text selected and returns false; the
    // path has been taken by then.
    static bool FromControls(DialogData& data, QLineEdit& pathEdit, QLineEdit& lengthEdit,
                             UserPrompts& prompts);

    // A signed decimal integer, blanks and tabs allowed around it; none when the text holds
    // anything else or a number out of range.
    static std::optional<std::int64_t> ParseInteger(const QString& text);
};

}  // namespace tarnwick
