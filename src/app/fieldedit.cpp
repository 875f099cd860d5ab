#include "app/fieldedit.h"

#include <QFocusEvent>

namespace preisliste {

namespace {

bool MovedThereByOperator(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason
           || reason == Qt::ShortcutFocusReason;
}

} // namespace

FieldEdit::FieldEdit(const QString &text, QWidget *parent) : QLineEdit(text, parent) {}

void FieldEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event); // selects on Tab by itself
    if (!MovedThereByOperator(event->reason()))
        return;
    if (!selectOnFocus_) {
        deselect();
        return;
    }
    selectAll();
    // The click that brought the focus places the cursor next; select again after it.
    selectAfterPress_ = event->reason() == Qt::MouseFocusReason;
}

void FieldEdit::focusOutEvent(QFocusEvent *event)
{
    selectAfterPress_ = false;
    QLineEdit::focusOutEvent(event);
}

void FieldEdit::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    if (std::exchange(selectAfterPress_, false))
        selectAll();
}

} // namespace preisliste
