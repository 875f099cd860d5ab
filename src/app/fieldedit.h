#pragma once

#include <QLineEdit>

namespace preisliste {

// A text box that selects its whole text when the operator moves into it
// (Tab, a click, a shortcut), so that typing replaces the value. With
// selection on focus switched off it shows the cursor without a selection
// instead. Focus given back by the program selects nothing.
class FieldEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit FieldEdit(const QString &text, QWidget *parent = nullptr);
    void SetSelectOnFocus(bool select) { selectOnFocus_ = select; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool selectOnFocus_ = true;
    bool selectAfterPress_ = false;
};

} // namespace preisliste
