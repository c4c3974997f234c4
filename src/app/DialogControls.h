#pragma once

#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

#include "app/DialogUnits.h"

namespace tarnwick {

// The controls a dialog template created, by id, in template order. The widgets belong to the
// dialog; this only finds them. Dialog thread only.
class DialogControls {
  public:
    explicit DialogControls(DialogUnits units) : units_(units) {}

    void Add(int id, QWidget* widget) { controls_.emplace_back(id, widget); }

    // The first control with the id, nullptr when there is none.
    QWidget* Find(int id) const;
    template <typename T>
    T* Get(int id) const {
        return qobject_cast<T*>(Find(id));
    }

    // Text of an edit, a static, a button, a check box or a group box's caption; a control
    // without text (or a missing id) is left alone.
    void SetText(int id, const QString& text) const;
    QString Text(int id) const;

    const std::vector<std::pair<int, QWidget*>>& All() const { return controls_; }
    const DialogUnits& Units() const { return units_; }

  private:
    DialogUnits units_;
    std::vector<std::pair<int, QWidget*>> controls_;
};

}  // namespace tarnwick
