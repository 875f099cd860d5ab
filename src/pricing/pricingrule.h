#pragma once

#include "common/currency.h"

#include <QStringList>

namespace preisliste {

class TelvoroSettings;

// What the rule makes of one tariff row: its new selling price with the
// profit, markup and margin that go with it, or, where the rule leaves the
// row, its old price with the old figures.
struct RowPrice {
    bool changed = false; // the rule selects the row and its price changes
    Currency newSelling;
    Currency profit;
    double markup = 0.0;
    double margin = 0.0;
};

// The operator's selling-price rule, applied to one tariff row at a time.
// Purchase prices are net, selling prices include VAT; percentages are
// fractions (0.375 for 37.5 %).
class PricingRule {
public:
    // The documented defaults, with the three settings read from `settings`:
    // "RatingDefaultMargin" (markup in percent), "MinimumRatePerMinute" and
    // "MwSt" (percent), all in section "Options", each with a decimal comma
    // or point. A value that does not convert, or that its field would not
    // accept (pricing/rulefields.h), keeps its default (60, 0.10, 19) and adds
    // a German line to Warnings().
    explicit PricingRule(const TelvoroSettings &settings);

    // Public members, in the order the rule has always listed them.
    bool UseMarkup = true;
    bool UseMargin = false;
    Currency ProfitValue = Currency::FromUnits(500);
    bool UseProfit = false;
    Currency MinProfitValue = Currency::FromUnits(500);
    bool UseMinProfit = false;
    Currency MinSellRateValue = Currency::FromUnits(1000);
    bool UseMinSellRate = false;
    double UseOnMarginValue = 0.375;
    double UseOnMarkupValue = 0.6;
    bool UseOnAll = false;
    bool UseOnSellRate = false;
    Currency UseOnSellRateValue = Currency::FromUnits(1000);
    bool UseOnProfit = false;
    Currency UseOnProfitValue = Currency::FromUnits(500);
    bool UseOnInternationalOnly = false; // carried; no calculation reads it
    bool UseOnDefaultRatesOnly = false;  // carried; no calculation reads it

    bool IsUseOnProfitEnabled() const;
    bool IsUseOnSellRateEnabled() const;
    bool IsMinProfitEnabled() const;

    double VAT() const { return vat_; }
    void SetVAT(double rate);

    Currency RoundUpValue() const { return roundUpValue_; }
    void SetRoundUpValue(Currency value);

    double markup() const { return markup_; }
    void SetMarkup(double markup); // also sets margin = markup / (markup + 1)
    double margin() const { return margin_; }
    void SetMargin(double margin); // also sets markup = margin / (1 - margin)

    bool UseOnMarkup() const { return useOnMarkup_; }
    void SetUseOnMarkup(bool value); // true clears UseOnMargin
    bool UseOnMargin() const { return useOnMargin_; }
    void SetUseOnMargin(bool value); // true clears UseOnMarkup

    // Applies the rule to one row. Throws std::overflow_error when a value
    // leaves the currency range.
    RowPrice CalculateNewVk(Currency netBuying, Currency oldSelling) const;

    // Settings that did not convert at creation, one German line each.
    QStringList Warnings() const;
    // Forgets the warning about `setting` ("MwSt", ...): a value given in its
    // place makes it moot.
    void DropWarning(const QString &setting);

private:
    double markup_ = 0.6;
    double margin_ = 0.375;
    bool useOnMargin_ = true;
    bool useOnMarkup_ = false;
    Currency roundUpValue_ = Currency::FromUnits(20);
    Currency roundUpAddend_ = Currency::FromUnits(79);
    double vat_ = 0.19;
    double vatFactor_ = 1.19;
    struct SettingWarning {
        QString setting;
        QString text;
    };
    QList<SettingWarning> warnings_;
};

} // namespace preisliste
