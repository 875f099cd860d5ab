#include "pricing/pricingrule.h"

#include "common/localeformat.h"
#include "common/telvorosettings.h"
#include "pricing/rulefields.h"

#include <QLocale>

#include <cmath>

namespace preisliste {

namespace {

const QString kOptions = QStringLiteral("Options");

// Settings may be written with a decimal comma or a decimal point. "nan" and
// "inf", which the number reader would take, are no usable numbers.
std::optional<double> ToDouble(QString text)
{
    text = text.trimmed().replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// "0.1", "0,1" and what the user's currency format writes ("0,10 €").
std::optional<Currency> ToCurrency(const QString &text)
{
    if (const auto plain = Currency::Parse(text))
        return plain;
    return ParseCurrency(text, UserLocale());
}

// A field's range in percent, as the settings write it.
ValueRange PercentRange(RuleFieldId id)
{
    return DefinitionOf(id).range.Scaled(100.0);
}

// "zwischen 0 und 1000 %"
QString BetweenText(const ValueRange &range)
{
    return QStringLiteral("zwischen %1 und %2 %").arg(QString::number(range.low), QString::number(*range.high));
}

// "RatingDefaultMargin" is the default markup in percent. A value the window
// would refuse is not taken either: at -100 the margin would not even exist.
double ReadMarkupPercent(const TelvoroSettings &settings, QStringList &warnings)
{
    const QString text = settings.ReadSetting(QStringLiteral("RatingDefaultMargin"), kOptions, QStringLiteral("60"));
    const std::optional<double> percent = ToDouble(text);
    const ValueRange range = PercentRange(RuleFieldId::Markup);
    if (percent && range.Contains(*percent))
        return *percent;
    warnings << QStringLiteral("Die Einstellung „RatingDefaultMargin“ (%1) ist %2; es gilt ein Aufschlag von 60 %.")
                    .arg(text, percent ? QStringLiteral("kein Aufschlag ") + BetweenText(range)
                                       : QStringLiteral("keine Zahl"));
    return 60.0;
}

Currency ReadMinimumRate(const TelvoroSettings &settings, QStringList &warnings)
{
    const Currency fallback = Currency::FromUnits(1000);
    const QString text = settings.ReadSetting(QStringLiteral("MinimumRatePerMinute"), kOptions,
                                              UserLocale().toString(0.1));
    const std::optional<Currency> rate = ToCurrency(text);
    if (rate && DefinitionOf(RuleFieldId::MinSellRate).range.Contains(rate->ToDouble()))
        return *rate;
    warnings << QStringLiteral("Die Einstellung „MinimumRatePerMinute“ (%1) ist %2; es gilt ein minimaler "
                               "Minutenpreis von 0,10 €.")
                    .arg(text, rate ? QStringLiteral("negativ") : QStringLiteral("kein Betrag"));
    return fallback;
}

// "MwSt" in percent, in the range the window takes.
double ReadVatPercent(const TelvoroSettings &settings, QStringList &warnings)
{
    const QString text = settings.ReadSetting(QStringLiteral("MwSt"), kOptions, QString());
    const std::optional<double> percent = ToDouble(text);
    const ValueRange range = PercentRange(RuleFieldId::Vat);
    if (percent && range.Contains(*percent))
        return *percent;
    if (text.trimmed().isEmpty())
        warnings << QStringLiteral("Die Einstellung „MwSt“ fehlt; es gilt eine Mehrwertsteuer von 19 %.");
    else
        warnings << QStringLiteral("Die Einstellung „MwSt“ (%1) ist %2; es gilt eine Mehrwertsteuer von 19 %.")
                        .arg(text, percent ? QStringLiteral("kein Satz ") + BetweenText(range)
                                           : QStringLiteral("keine Zahl"));
    return 19.0;
}

} // namespace

PricingRule::PricingRule(const TelvoroSettings &settings)
{
    // Each reader adds at most one line, about its own setting.
    QStringList texts;
    const auto note = [&](const QString &setting) {
        if (texts.size() > warnings_.size())
            warnings_.append({setting, texts.last()});
    };
    const double markupPercent = ReadMarkupPercent(settings, texts);
    note(QStringLiteral("RatingDefaultMargin"));
    const Currency minimumRate = ReadMinimumRate(settings, texts);
    note(QStringLiteral("MinimumRatePerMinute"));
    const double vatPercent = ReadVatPercent(settings, texts);
    note(QStringLiteral("MwSt"));

    SetMarkup(markupPercent / 100.0);
    ProfitValue = Currency::FromUnits(500);
    MinProfitValue = ProfitValue;
    MinSellRateValue = minimumRate;
    UseMarkup = true;
    UseMargin = UseProfit = UseMinProfit = UseMinSellRate = false;
    SetRoundUpValue(Currency::FromUnits(20));
    UseOnAll = false;
    UseOnMarkupValue = markup_;
    UseOnMarginValue = margin_;
    SetUseOnMargin(true);
    UseOnProfit = false;
    UseOnProfitValue = MinProfitValue;
    UseOnSellRate = false;
    UseOnSellRateValue = MinSellRateValue;
    UseOnInternationalOnly = UseOnDefaultRatesOnly = false;
    SetVAT(vatPercent / 100.0);
}

QStringList PricingRule::Warnings() const
{
    QStringList texts;
    for (const SettingWarning &warning : warnings_)
        texts << warning.text;
    return texts;
}

void PricingRule::DropWarning(const QString &setting)
{
    warnings_.removeIf([&](const SettingWarning &warning) { return warning.setting == setting; });
}

bool PricingRule::IsUseOnProfitEnabled() const
{
    return ((UseMinProfit && IsMinProfitEnabled()) || UseProfit) && !UseOnAll;
}

bool PricingRule::IsUseOnSellRateEnabled() const
{
    return UseMinSellRate && !UseOnAll;
}

bool PricingRule::IsMinProfitEnabled() const
{
    return (UseMargin || UseMarkup) && !UseProfit;
}

void PricingRule::SetVAT(double rate)
{
    vat_ = rate;
    vatFactor_ = rate + 1.0;
}

void PricingRule::SetRoundUpValue(Currency value)
{
    roundUpValue_ = value;
    roundUpAddend_ = Currency::FromUnits(100) - value - Currency::FromUnits(1);
}

void PricingRule::SetMarkup(double markup)
{
    markup_ = markup;
    margin_ = markup / (markup + 1.0);
}

void PricingRule::SetMargin(double margin)
{
    margin_ = margin;
    markup_ = margin / (1.0 - margin);
}

void PricingRule::SetUseOnMarkup(bool value)
{
    useOnMarkup_ = value;
    useOnMargin_ = useOnMargin_ && !value;
}

void PricingRule::SetUseOnMargin(bool value)
{
    useOnMargin_ = value;
    useOnMarkup_ = useOnMarkup_ && !value;
}

RowPrice PricingRule::CalculateNewVk(Currency netBuying, Currency oldSelling) const
{
    const Currency gross = Currency::FromDouble(netBuying.ToDouble() * vatFactor_);
    const Currency oldProfit = oldSelling - gross;
    const double oldMarkup = gross == Currency() ? 100.0 : oldProfit.ToDouble() / gross.ToDouble();
    const double oldMargin = oldSelling == Currency() ? 1.0 : oldProfit.ToDouble() / oldSelling.ToDouble();

    bool selected = UseOnAll;
    if (!selected) {
        if (useOnMargin_)
            selected = oldMargin < UseOnMarginValue;
        else if (useOnMarkup_)
            selected = oldMarkup < UseOnMarkupValue;
    }
    if (IsMinProfitEnabled() && !selected && UseOnProfit)
        selected = oldProfit < UseOnProfitValue;
    if (IsUseOnSellRateEnabled() && !selected && UseOnSellRate)
        selected = oldSelling < UseOnSellRateValue;

    if (!selected)
        return {.changed = false, .newSelling = oldSelling, .profit = oldProfit, .markup = oldMarkup,
                .margin = oldMargin};

    double factor = 0.0;
    if (UseMargin)
        factor = 1.0 + margin_ / (1.0 - margin_);
    else if (UseMarkup)
        factor = 1.0 + markup_;
    Currency price = Currency::FromDouble(gross.ToDouble() * factor);

    if (UseProfit)
        price = gross + ProfitValue;
    else if (UseMinProfit && (price - gross) < MinProfitValue)
        price = gross + MinProfitValue;

    price = (price + roundUpAddend_).TruncatedToCents();

    if (UseMinSellRate && price < MinSellRateValue)
        price = MinSellRateValue;

    const Currency profit = price - gross;
    return {.changed = price != oldSelling,
            .newSelling = price,
            .profit = profit,
            .markup = gross == Currency() ? 100.0 : profit.ToDouble() / gross.ToDouble(),
            .margin = price == Currency() ? 1.0 : profit.ToDouble() / price.ToDouble()};
}

} // namespace preisliste
