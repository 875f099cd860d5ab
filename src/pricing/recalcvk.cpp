#include "pricing/recalcvk.h"

#include "common/telvorosettings.h"

#include <QLocale>

namespace preisliste {

namespace {

const QString kOptions = QStringLiteral("Options");

// Settings may be written with a decimal comma or a decimal point.
std::optional<double> ToDouble(QString text)
{
    text = text.trimmed().replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace

CRecalcVk::CRecalcVk(const TelvoroSettings &settings)
{
    const QString defaultMarkup = settings.ReadSetting(QStringLiteral("RatingDefaultMargin"), kOptions,
                                                       QStringLiteral("60"));
    const std::optional<double> markupPercent = ToDouble(defaultMarkup);
    if (!markupPercent)
        warnings_ << QStringLiteral("Die Einstellung „RatingDefaultMargin“ (%1) ist keine Zahl; "
                                    "es gilt ein Aufschlag von 60 %.").arg(defaultMarkup);

    const QString minimumRate = settings.ReadSetting(QStringLiteral("MinimumRatePerMinute"), kOptions,
                                                     QStringLiteral("0.1"));
    std::optional<Currency> minimumRateValue = Currency::Parse(minimumRate);
    if (!minimumRateValue)
        warnings_ << QStringLiteral("Die Einstellung „MinimumRatePerMinute“ (%1) ist kein Betrag; "
                                    "es gilt ein minimaler Minutenpreis von 0,10 €.").arg(minimumRate);

    const QString vatText = settings.ReadSetting(QStringLiteral("MwSt"), kOptions, QString());
    const std::optional<double> vatPercent = ToDouble(vatText);
    if (!vatPercent)
        warnings_ << (vatText.trimmed().isEmpty()
                          ? QStringLiteral("Die Einstellung „MwSt“ fehlt; es gilt eine Mehrwertsteuer von 19 %.")
                          : QStringLiteral("Die Einstellung „MwSt“ (%1) ist keine Zahl; es gilt eine "
                                           "Mehrwertsteuer von 19 %.").arg(vatText));

    SetMarkup(markupPercent.value_or(60.0) / 100.0);
    ProfitValue = Currency::FromUnits(500);
    MinProfitValue = ProfitValue;
    MinSellRateValue = minimumRateValue.value_or(Currency::FromUnits(1000));
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
    SetVAT(vatPercent.value_or(19.0) / 100.0);
}

bool CRecalcVk::IsUseOnProfitEnabled() const
{
    return ((UseMinProfit && IsMinProfitEnabled()) || UseProfit) && !UseOnAll;
}

bool CRecalcVk::IsUseOnSellRateEnabled() const
{
    return UseMinSellRate && !UseOnAll;
}

bool CRecalcVk::IsMinProfitEnabled() const
{
    return (UseMargin || UseMarkup) && !UseProfit;
}

void CRecalcVk::SetVAT(double rate)
{
    vat_ = rate;
    vatFactor_ = rate + 1.0;
}

void CRecalcVk::SetRoundUpValue(Currency value)
{
    roundUpValue_ = value;
    roundUpAddend_ = Currency::FromUnits(100) - value - Currency::FromUnits(1);
}

void CRecalcVk::SetMarkup(double markup)
{
    markup_ = markup;
    margin_ = markup / (markup + 1.0);
}

void CRecalcVk::SetMargin(double margin)
{
    margin_ = margin;
    markup_ = margin / (1.0 - margin);
}

void CRecalcVk::SetUseOnMarkup(bool value)
{
    useOnMarkup_ = value;
    useOnMargin_ = useOnMargin_ && !value;
}

void CRecalcVk::SetUseOnMargin(bool value)
{
    useOnMargin_ = value;
    useOnMarkup_ = useOnMarkup_ && !value;
}

bool CRecalcVk::CalculateNewVk(Currency netBuying, Currency oldSelling, double &markup, double &margin,
                               Currency &profit, Currency &newSelling) const
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

    if (!selected) {
        newSelling = oldSelling;
        markup = oldMarkup;
        margin = oldMargin;
        profit = oldProfit;
        return false;
    }

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

    newSelling = price;
    profit = price - gross;
    markup = gross == Currency() ? 100.0 : profit.ToDouble() / gross.ToDouble();
    margin = price == Currency() ? 1.0 : profit.ToDouble() / price.ToDouble();
    return newSelling != oldSelling;
}

} // namespace preisliste
