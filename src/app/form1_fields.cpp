// The rule value fields, the worked example and the check that runs when the
// focus is about to leave a field.
#include "app/fieldedit.h"
#include "app/form1.h"
#include "common/localeformat.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

#include <exception>
#include <limits>

namespace preisliste {

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

const QColor kChangedPriceColour(0, 255, 0);
const QColor kUnchangedPriceColour(0, 0, 0);

} // namespace

bool Form1::Bounds::Contains(double value) const
{
    const bool aboveLow = lowInclusive ? value >= low : value > low;
    const bool belowHigh = highInclusive ? value <= high : value < high;
    return aboveLow && belowHigh;
}

void Form1::DefineRuleFields()
{
    auto percent = [this](FieldEdit *edit, Bounds bounds, auto get, auto set) {
        RuleField field;
        field.edit = edit;
        field.kind = FieldKind::Percent;
        field.bounds = bounds;
        field.percent = get;
        field.setPercent = set;
        ruleFields_.insert(edit, field);
    };
    auto amount = [this](FieldEdit *edit, FieldKind kind, Bounds bounds, auto get, auto set,
                         FieldEdit *handOverTo = nullptr,
                         std::function<void(CRecalcVk &, Currency)> setHandOver = {}) {
        RuleField field;
        field.edit = edit;
        field.kind = kind;
        field.bounds = bounds;
        field.amount = get;
        field.setAmount = set;
        field.handOverTo = handOverTo;
        field.setHandOver = std::move(setHandOver);
        ruleFields_.insert(edit, field);
    };
    const auto setUseOnSellRate = [](CRecalcVk &rule, Currency value) { rule.UseOnSellRateValue = value; };

    percent(txtMarkup_, {0, true, 10, false}, [](const CRecalcVk &rule) { return rule.markup(); },
            [](CRecalcVk &rule, double value) { rule.SetMarkup(value); });
    percent(txtMargin_, {0, true, 1, false}, [](const CRecalcVk &rule) { return rule.margin(); },
            [](CRecalcVk &rule, double value) { rule.SetMargin(value); });
    ruleFields_[txtMarkup_].liveKeyUp = true;
    ruleFields_[txtMargin_].liveKeyUp = true;
    amount(txtProfit_, FieldKind::Amount, {0, true, kNoLimit, false},
           [](const CRecalcVk &rule) { return rule.ProfitValue; },
           [](CRecalcVk &rule, Currency value) { rule.ProfitValue = value; }, txtUseOnSellRate_, setUseOnSellRate);
    amount(txtMinProfit_, FieldKind::Amount, {0, true, kNoLimit, false},
           [](const CRecalcVk &rule) { return rule.MinProfitValue; },
           [](CRecalcVk &rule, Currency value) { rule.MinProfitValue = value; }, txtUseOnProfit_,
           [](CRecalcVk &rule, Currency value) { rule.UseOnProfitValue = value; });
    amount(txtMinSellRate_, FieldKind::Amount, {0, true, kNoLimit, false},
           [](const CRecalcVk &rule) { return rule.MinSellRateValue; },
           [](CRecalcVk &rule, Currency value) { rule.MinSellRateValue = value; }, txtUseOnSellRate_,
           setUseOnSellRate);
    amount(txtRoundUp_, FieldKind::RoundUp, {0, true, 1, false},
           [](const CRecalcVk &rule) { return rule.RoundUpValue(); },
           [](CRecalcVk &rule, Currency value) { rule.SetRoundUpValue(value); });
    percent(txtVAT_, {0, true, 5, true}, [](const CRecalcVk &rule) { return rule.VAT(); },
            [](CRecalcVk &rule, double value) { rule.SetVAT(value); });
    amount(txtUseOnProfit_, FieldKind::Amount, {0, false, kNoLimit, false},
           [](const CRecalcVk &rule) { return rule.UseOnProfitValue; },
           [](CRecalcVk &rule, Currency value) { rule.UseOnProfitValue = value; });
    percent(txtUseOnMargin_, {0, false, 1, false}, [](const CRecalcVk &rule) { return rule.UseOnMarginValue; },
            [](CRecalcVk &rule, double value) { rule.UseOnMarginValue = value; });
    percent(txtUseOnMarkup_, {0, false, 10, true}, [](const CRecalcVk &rule) { return rule.UseOnMarkupValue; },
            [](CRecalcVk &rule, double value) { rule.UseOnMarkupValue = value; });
    amount(txtUseOnSellRate_, FieldKind::Amount, {0, false, kNoLimit, false},
           [](const CRecalcVk &rule) { return rule.UseOnSellRateValue; }, setUseOnSellRate);
}

const Form1::RuleField *Form1::RuleFieldOf(const QObject *object) const
{
    const auto found = ruleFields_.constFind(object);
    return found == ruleFields_.constEnd() ? nullptr : &found.value();
}

QString Form1::DisplayText(const RuleField &field) const
{
    switch (field.kind) {
    case FieldKind::Percent:
        return FormatPercent(field.percent(*pricingRule_), locale_);
    case FieldKind::Amount:
        return FormatCurrency(field.amount(*pricingRule_), locale_, CurrencyDecimals(locale_));
    case FieldKind::RoundUp:
        break;
    }
    return FormatRoundUp(field.amount(*pricingRule_), locale_);
}

bool Form1::ValidateRuleField(const RuleField &field)
{
    if (field.liveKeyUp) {
        const bool refused = field.edit == txtMarkup_ ? ApplyMarkupText() : ApplyMarginText();
        if (refused) {
            SelectFieldText(field.edit, true);
            return false;
        }
        field.edit->setText(DisplayText(field));
        return true;
    }
    if (field.kind == FieldKind::Percent) {
        const std::optional<double> value = ParsePercent(field.edit->text(), locale_);
        if (value && field.bounds.Contains(*value)) {
            field.setPercent(*pricingRule_, *value);
            field.edit->setText(DisplayText(field));
            return true;
        }
        // Text that is no number at all keeps the focus here quietly.
        if (!value && field.edit == txtUseOnMargin_)
            return false;
        SelectFieldText(field.edit, true);
        return false;
    }
    const std::optional<Currency> value = ParseCurrency(field.edit->text(), locale_);
    if (!value || !field.bounds.Contains(value->ToDouble())) {
        SelectFieldText(field.edit, true);
        return false;
    }
    field.setAmount(*pricingRule_, *value);
    field.edit->setText(DisplayText(field));
    if (field.handOverTo) {
        field.setHandOver(*pricingRule_, *value);
        field.handOverTo->setText(FormatCurrency(*value, locale_, CurrencyDecimals(locale_)));
    }
    return true;
}

bool Form1::ApplyMarkupText()
{
    const std::optional<double> value = ParsePercent(txtMarkup_->text(), locale_);
    if (!value || *value < 0 || *value >= 10)
        return true;
    pricingRule_->SetMarkup(*value);
    return false;
}

bool Form1::ApplyMarginText()
{
    const std::optional<double> value = ParsePercent(txtMargin_->text(), locale_);
    if (!value || *value < 0 || *value >= 1)
        return true;
    pricingRule_->SetMargin(*value);
    return false;
}

void Form1::RuleFieldKeyUp(const RuleField &field)
{
    if (field.edit == txtMarkup_) {
        if (ApplyMarkupText())
            txtMargin_->clear();
        else
            txtMargin_->setText(FormatPercent(pricingRule_->margin(), locale_));
    } else if (field.edit == txtMargin_) {
        if (ApplyMarginText())
            txtMarkup_->clear();
        else
            txtMarkup_->setText(FormatPercent(pricingRule_->markup(), locale_));
    }
    RefreshSample();
}

void Form1::SelectFieldText(QLineEdit *field, bool alert)
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

void Form1::RefreshSample()
{
    double markup = 0;
    double margin = 0;
    Currency profit;
    Currency newSelling;
    bool changed = false;
    try {
        changed = pricingRule_->CalculateNewVk(sampleNetBuying_, sampleOldSelling_, markup, margin, profit,
                                               newSelling);
    } catch (const std::exception &) {
        changed = false; // a sample beyond the currency range shows no result
    }
    if (changed) {
        lblSampleMarkup_->setText(FormatPercent(markup, locale_, 1));
        lblSampleMargin_->setText(FormatPercent(margin, locale_, 1));
        lblSampleProfit_->setText(FormatCurrency(profit, locale_, 4));
        lblSampleNewVk_->setText(FormatCurrency(newSelling, locale_, CurrencyDecimals(locale_)));
    }
    ShowNewPriceColour(changed);
}

void Form1::ShowNewPriceColour(bool changed)
{
    QPalette palette = lblSampleNewVk_->palette();
    palette.setColor(QPalette::WindowText, changed ? kChangedPriceColour : kUnchangedPriceColour);
    lblSampleNewVk_->setPalette(palette);
}

void Form1::ShowSampleGross()
{
    const std::optional<Currency> gross =
        Currency::TryFromDouble(sampleNetBuying_.ToDouble() * (pricingRule_->VAT() + 1.0));
    if (gross)
        lblSampleEkGross_->setText(FormatCurrency(*gross, locale_, 4));
}

bool Form1::txtSampleEk_Validate()
{
    const std::optional<Currency> value = ParseCurrency(txtSampleEk_->text(), locale_);
    if (!value)
        return false;
    sampleNetBuying_ = *value;
    txtSampleEk_->setText(FormatCurrency(sampleNetBuying_, locale_, 4));
    ShowSampleGross();
    return true;
}

bool Form1::txtSampleOldVk_Validate()
{
    const std::optional<Currency> value = ParseCurrency(txtSampleOldVk_->text(), locale_);
    if (!value)
        return false;
    sampleOldSelling_ = *value;
    txtSampleOldVk_->setText(FormatCurrency(sampleOldSelling_, locale_, CurrencyDecimals(locale_)));
    return true;
}

bool Form1::CheckField(QWidget *field)
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

bool Form1::IsCheckedField(const QWidget *widget) const
{
    return RuleFieldOf(widget) || widget == txtKdId_ || widget == txtSampleEk_ || widget == txtSampleOldVk_;
}

bool Form1::FocusedFieldAccepts()
{
    QWidget *focused = QApplication::focusWidget();
    return !focused || !isAncestorOf(focused) || CheckField(focused);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
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

bool Form1::FieldEventFilter(QWidget *field, QEvent *event)
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
