// The rule value fields, the worked example and the check that runs when the
// focus is about to leave a field.
#include "app/fieldedit.h"
#include "app/updatewindow.h"
#include "common/localeformat.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

#include <exception>

namespace preisliste {

namespace {

const QColor kChangedPriceColour(0, 255, 0);
const QColor kUnchangedPriceColour(0, 0, 0);

} // namespace

void UpdateWindow::DefineRuleFields()
{
    const std::pair<FieldEdit *, RuleFieldId> fields[] = {
        {txtMarkup_, RuleFieldId::Markup},
        {txtMargin_, RuleFieldId::Margin},
        {txtProfit_, RuleFieldId::Profit},
        {txtMinProfit_, RuleFieldId::MinProfit},
        {txtMinSellRate_, RuleFieldId::MinSellRate},
        {txtRoundUp_, RuleFieldId::RoundUp},
        {txtVAT_, RuleFieldId::Vat},
        {txtUseOnProfit_, RuleFieldId::UseOnProfitBelow},
        {txtUseOnMargin_, RuleFieldId::UseOnMarginBelow},
        {txtUseOnMarkup_, RuleFieldId::UseOnMarkupBelow},
        {txtUseOnSellRate_, RuleFieldId::UseOnPriceBelow},
    };
    for (const auto &[edit, id] : fields) {
        ruleFields_.insert(edit, RuleField{edit, &DefinitionOf(id)});
        ruleFieldEdits_.insert(id, edit);
    }
}

const UpdateWindow::RuleField *UpdateWindow::RuleFieldOf(const QObject *object) const
{
    const auto found = ruleFields_.constFind(object);
    return found == ruleFields_.constEnd() ? nullptr : &found.value();
}

const UpdateWindow::RuleField &UpdateWindow::RuleFieldOf(RuleFieldId id) const
{
    return *RuleFieldOf(ruleFieldEdits_.value(id));
}

QString UpdateWindow::DisplayText(const RuleField &field) const
{
    const RuleFieldId id = field.definition->id;
    if (field.definition->unit == RuleUnit::Percent)
        return FormatPercent(PercentValue(*pricingRule_, id), locale_);
    if (id == RuleFieldId::RoundUp)
        return FormatRoundUp(AmountValue(*pricingRule_, id), locale_);
    return FormatCurrency(AmountValue(*pricingRule_, id), locale_, CurrencyDecimals(locale_));
}

bool UpdateWindow::ValidateRuleField(const RuleField &field)
{
    const RuleFieldDefinition &definition = *field.definition;
    if (field.IsLive()) {
        if (!ApplyLiveText(field)) {
            SelectFieldText(field.edit, true);
            return false;
        }
        field.edit->setText(DisplayText(field));
        return true;
    }
    if (definition.unit == RuleUnit::Percent) {
        const std::optional<double> value = ParsePercent(field.edit->text(), locale_);
        if (value && definition.range.Contains(*value)) {
            SetPercentValue(*pricingRule_, definition.id, *value);
            field.edit->setText(DisplayText(field));
            return true;
        }
        // Text that is no number at all keeps the focus here quietly.
        if (!value && definition.id == RuleFieldId::UseOnMarginBelow)
            return false;
        SelectFieldText(field.edit, true);
        return false;
    }
    const std::optional<Currency> value = ParseCurrency(field.edit->text(), locale_);
    if (!value || !definition.range.Contains(value->ToDouble())) {
        SelectFieldText(field.edit, true);
        return false;
    }
    SetAmountValue(*pricingRule_, definition.id, *value);
    field.edit->setText(DisplayText(field));
    if (definition.alsoSets) {
        const RuleField &other = RuleFieldOf(*definition.alsoSets);
        other.edit->setText(DisplayText(other));
    }
    return true;
}

// Takes the text of markup or margin into the rule; false when the text is
// no value the field accepts.
bool UpdateWindow::ApplyLiveText(const RuleField &field)
{
    const std::optional<double> value = ParsePercent(field.edit->text(), locale_);
    if (!value || !field.definition->range.Contains(*value))
        return false;
    SetPercentValue(*pricingRule_, field.definition->id, *value);
    return true;
}

void UpdateWindow::RuleFieldKeyUp(const RuleField &field)
{
    if (field.IsLive()) {
        const RuleField &other = RuleFieldOf(*field.definition->alsoSets);
        if (ApplyLiveText(field))
            other.edit->setText(DisplayText(other));
        else
            other.edit->clear();
    }
    RefreshSample();
}

void UpdateWindow::SelectFieldText(QLineEdit *field, bool alert)
{
    if (!field) {
        if (auto *focused = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
            focused->selectAll();
    } else if (field->isEnabled()) {
        if (!field->hasFocus())
            field->setFocus(Qt::OtherFocusReason);
        field->setSelection(0, int(field->text().size()));
    }
    if (alert)
        dialogs_->PlayAlertSound();
}

void UpdateWindow::RefreshSample()
{
    RowPrice price;
    try {
        price = pricingRule_->CalculateNewVk(sampleNetBuying_, sampleOldSelling_);
    } catch (const std::exception &) {
        price.changed = false; // a sample beyond the currency range shows no result
    }
    if (price.changed) {
        lblSampleMarkup_->setText(FormatPercent(price.markup, locale_, 1));
        lblSampleMargin_->setText(FormatPercent(price.margin, locale_, 1));
        lblSampleProfit_->setText(FormatCurrency(price.profit, locale_, 4));
        lblSampleNewVk_->setText(FormatCurrency(price.newSelling, locale_, CurrencyDecimals(locale_)));
    }
    ShowNewPriceColour(price.changed);
}

void UpdateWindow::ShowNewPriceColour(bool changed)
{
    QPalette palette = lblSampleNewVk_->palette();
    palette.setColor(QPalette::WindowText, changed ? kChangedPriceColour : kUnchangedPriceColour);
    lblSampleNewVk_->setPalette(palette);
}

void UpdateWindow::ShowSampleGross()
{
    const std::optional<Currency> gross =
        Currency::TryFromDouble(sampleNetBuying_.ToDouble() * (pricingRule_->VAT() + 1.0));
    if (gross)
        lblSampleEkGross_->setText(FormatCurrency(*gross, locale_, 4));
}

bool UpdateWindow::txtSampleEk_Validate()
{
    const std::optional<Currency> value = ParseCurrency(txtSampleEk_->text(), locale_);
    if (!value)
        return false;
    sampleNetBuying_ = *value;
    txtSampleEk_->setText(FormatCurrency(sampleNetBuying_, locale_, 4));
    ShowSampleGross();
    return true;
}

bool UpdateWindow::txtSampleOldVk_Validate()
{
    const std::optional<Currency> value = ParseCurrency(txtSampleOldVk_->text(), locale_);
    if (!value)
        return false;
    sampleOldSelling_ = *value;
    txtSampleOldVk_->setText(FormatCurrency(sampleOldSelling_, locale_, CurrencyDecimals(locale_)));
    return true;
}

bool UpdateWindow::CheckField(QWidget *field)
{
    bool accepted = true;
    if (field == txtKdId_)
        accepted = txtKdId_Validate();
    else if (field == txtSampleEk_)
        accepted = txtSampleEk_Validate();
    else if (field == txtSampleOldVk_)
        accepted = txtSampleOldVk_Validate();
    else if (const RuleField *ruleField = RuleFieldOf(field))
        accepted = ValidateRuleField(*ruleField);
    if (!accepted && !field->hasFocus() && field->isEnabled())
        field->setFocus(Qt::OtherFocusReason);
    return accepted;
}

bool UpdateWindow::IsCheckedField(const QWidget *widget) const
{
    return RuleFieldOf(widget) || widget == txtKdId_ || widget == txtSampleEk_ || widget == txtSampleOldVk_;
}

bool UpdateWindow::FocusedFieldAccepts()
{
    QWidget *focused = QApplication::focusWidget();
    return !focused || !isAncestorOf(focused) || CheckField(focused);
}

bool UpdateWindow::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusOut:
        // A click moves the focus before the clicked control sees the press;
        // the field's check runs when the press arrives, below.
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason && IsCheckedField(widget))
            leftByClick_ = widget;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (QWidget *field = std::exchange(leftByClick_, nullptr); field && field != widget && !CheckField(field))
            return true; // the clicked control does not act
        break;
    case QEvent::Shortcut:
        if (!FocusedFieldAccepts())
            return true;
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return FieldEventFilter(widget, event);
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool UpdateWindow::FieldEventFilter(QWidget *field, QEvent *event)
{
    const auto *key = static_cast<QKeyEvent *>(event);
    const RuleField *ruleField = RuleFieldOf(field);
    if (!IsCheckedField(field))
        return false;
    if (event->type() == QEvent::KeyRelease) {
        // The release of a Tab that moved the focus belongs to the next control.
        if (ruleField && field->hasFocus())
            RuleFieldKeyUp(*ruleField);
        return false;
    }
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return !CheckField(field); // a refused entry keeps the focus
    case Qt::Key_Escape:
        if (ruleField) {
            ruleField->edit->setText(DisplayText(*ruleField));
        } else if (field == txtSampleEk_) {
            txtSampleEk_->setText(FormatCurrency(sampleNetBuying_, locale_, 4));
            txtSampleEk_Validate();
        } else if (field == txtSampleOldVk_) {
            txtSampleOldVk_->setText(FormatCurrency(sampleOldSelling_, locale_, CurrencyDecimals(locale_)));
        }
        return field != txtKdId_;
    default:
        return false;
    }
}

} // namespace preisliste
