#include "cli/ruleoptions.h"

#include "common/currency.h"
#include "common/localeformat.h"
#include "pricing/pricingrule.h"
#include "pricing/rulefields.h"

#include <QCommandLineParser>
#include <QLocale>

#include <optional>

namespace preisliste {

namespace {

using enum RuleFieldId;

// The command line's name of a rule field.
QString NameOf(RuleFieldId id)
{
    return QString::fromLatin1(DefinitionOf(id).name);
}

const QString kMode = QStringLiteral("mode");
const QString kMarkup = NameOf(Markup);
const QString kMargin = NameOf(Margin);
const QString kProfit = NameOf(Profit);
const QString kMinProfit = NameOf(MinProfit);
const QString kMinRate = NameOf(MinSellRate);
const QString kVat = NameOf(Vat);
const QString kRoundUp = NameOf(RoundUp);
const QString kApplyTo = QStringLiteral("apply-to");

const QString kAll = QStringLiteral("all");
const QString kMarginBelow = NameOf(UseOnMarginBelow);
const QString kMarkupBelow = NameOf(UseOnMarkupBelow);
const QString kProfitBelow = NameOf(UseOnProfitBelow);
const QString kPriceBelow = NameOf(UseOnPriceBelow);

QString InvalidValue(const QString &option, const QString &text, const QString &why)
{
    return QStringLiteral("Ungültiger Wert für %1: „%2“ %3.").arg(option, text, why);
}

QString OutOfRange(const QString &option, const QString &text, RuleFieldId id)
{
    return InvalidValue(option, text, QStringLiteral("(erlaubt: %1)").arg(RangeText(DefinitionOf(id))));
}

std::optional<double> ReadPercent(const QString &option, const QString &text, RuleFieldId id,
                                  const QLocale &locale, QString &error)
{
    const std::optional<double> value = ParsePercent(text, locale);
    if (!value)
        error = InvalidValue(option, text, QStringLiteral("ist kein Prozentwert"));
    else if (!DefinitionOf(id).range.Contains(*value))
        error = OutOfRange(option, text, id);
    return error.isEmpty() ? value : std::nullopt;
}

std::optional<Currency> ReadAmount(const QString &option, const QString &text, RuleFieldId id,
                                   const QLocale &locale, QString &error)
{
    const std::optional<Currency> value = ParseCurrency(text, locale);
    if (!value)
        error = InvalidValue(option, text, QStringLiteral("ist kein Betrag"));
    else if (!DefinitionOf(id).range.Contains(value->ToDouble()))
        error = OutOfRange(option, text, id);
    return error.isEmpty() ? value : std::nullopt;
}

// The row criteria of --apply-to, each with its threshold where it has one.
struct Criteria {
    bool all = false;
    std::optional<double> marginBelow;
    std::optional<double> markupBelow;
    std::optional<Currency> profitBelow;
    std::optional<Currency> priceBelow;

    bool Any() const { return all || marginBelow || markupBelow || profitBelow || priceBelow; }
};

// The values of the rule fields that were given.
struct RuleValues {
    std::optional<double> markup;
    std::optional<double> margin;
    std::optional<double> vat;
    std::optional<Currency> profit;
    std::optional<Currency> minProfit;
    std::optional<Currency> minRate;
    std::optional<Currency> roundUp;
};

// Each value with what its field also sets in the window; a floor given is
// a floor switched on.
void SetValues(const RuleValues &values, PricingRule &rule)
{
    // A value given here replaces its setting, and with it a warning that
    // the setting did not convert.
    if (values.markup || values.margin)
        rule.DropWarning(QStringLiteral("RatingDefaultMargin"));
    if (values.markup)
        SetPercentValue(rule, Markup, *values.markup);
    if (values.margin)
        SetPercentValue(rule, Margin, *values.margin);
    if (values.vat) {
        SetPercentValue(rule, Vat, *values.vat);
        rule.DropWarning(QStringLiteral("MwSt"));
    }
    if (values.roundUp)
        SetAmountValue(rule, RoundUp, *values.roundUp);
    if (values.profit)
        SetAmountValue(rule, Profit, *values.profit);
    rule.UseMinProfit = values.minProfit.has_value();
    if (values.minProfit)
        SetAmountValue(rule, MinProfit, *values.minProfit);
    rule.UseMinSellRate = values.minRate.has_value();
    if (values.minRate) {
        rule.DropWarning(QStringLiteral("MinimumRatePerMinute"));
        SetAmountValue(rule, MinSellRate, *values.minRate);
    }
}

// "...auf alle Einträge." is on at start; criteria named are exactly the
// ones in force, with their thresholds.
void SetCriteria(const Criteria &criteria, PricingRule &rule)
{
    rule.UseOnAll = !criteria.Any() || criteria.all;
    if (rule.UseOnAll)
        return;
    rule.SetUseOnMargin(criteria.marginBelow.has_value());
    rule.SetUseOnMarkup(criteria.markupBelow.has_value());
    rule.UseOnProfit = criteria.profitBelow.has_value();
    rule.UseOnSellRate = criteria.priceBelow.has_value();
    if (criteria.marginBelow)
        SetPercentValue(rule, UseOnMarginBelow, *criteria.marginBelow);
    if (criteria.markupBelow)
        SetPercentValue(rule, UseOnMarkupBelow, *criteria.markupBelow);
    if (criteria.profitBelow)
        SetAmountValue(rule, UseOnProfitBelow, *criteria.profitBelow);
    if (criteria.priceBelow)
        SetAmountValue(rule, UseOnPriceBelow, *criteria.priceBelow);
}

// Reads the options one after another; the first problem ends the reading
// and stays in error_.
class RuleOptionReader {
public:
    RuleOptionReader(const QCommandLineParser &parser, const QLocale &locale) : parser_(parser), locale_(locale) {}

    bool Apply(PricingRule &rule);
    const QString &Error() const { return error_; }

private:
    std::optional<QString> SingleValue(const QString &name);
    bool ReadPercentOption(RuleFieldId id, std::optional<double> &value);
    bool ReadAmountOption(RuleFieldId id, std::optional<Currency> &value);
    bool ReadValues(RuleValues &values);
    bool ReadMode(PricingRule &rule);
    bool ReadCriterion(const QString &text, Criteria &criteria);
    bool CheckCombinations(const RuleValues &values, const Criteria &criteria, bool profitMode);
    bool Fail(const QString &message)
    {
        error_ = message;
        return false;
    }

    const QCommandLineParser &parser_;
    const QLocale locale_;
    QString error_;
};

std::optional<QString> RuleOptionReader::SingleValue(const QString &name)
{
    const QStringList values = parser_.values(name);
    if (values.isEmpty())
        return std::nullopt;
    if (values.size() > 1) {
        Fail(QStringLiteral("--%1 ist mehrfach angegeben.").arg(name));
        return std::nullopt;
    }
    return values.constFirst();
}

bool RuleOptionReader::ReadPercentOption(RuleFieldId id, std::optional<double> &value)
{
    const QString name = NameOf(id);
    const std::optional<QString> text = SingleValue(name);
    if (text)
        value = ReadPercent(QStringLiteral("--") + name, *text, id, locale_, error_);
    return error_.isEmpty();
}

bool RuleOptionReader::ReadAmountOption(RuleFieldId id, std::optional<Currency> &value)
{
    const QString name = NameOf(id);
    const std::optional<QString> text = SingleValue(name);
    if (text)
        value = ReadAmount(QStringLiteral("--") + name, *text, id, locale_, error_);
    return error_.isEmpty();
}

// The three option buttons: exactly one mode is on.
bool RuleOptionReader::ReadMode(PricingRule &rule)
{
    const std::optional<QString> mode = SingleValue(kMode);
    if (!error_.isEmpty())
        return false;
    const QString name = mode.value_or(kMarkup);
    if (name != kMarkup && name != kMargin && name != kProfit)
        return Fail(InvalidValue(QStringLiteral("--mode"), name, QStringLiteral("(erlaubt: markup, margin, profit)")));
    rule.UseMarkup = name == kMarkup;
    rule.UseMargin = name == kMargin;
    rule.UseProfit = name == kProfit;
    return true;
}

bool RuleOptionReader::ReadCriterion(const QString &text, Criteria &criteria)
{
    const qsizetype equals = text.indexOf(u'=');
    const QString name = text.left(equals);
    const QString value = text.mid(equals + 1);
    const QString option = QStringLiteral("--apply-to ") + name;
    const bool percent = name == kMarginBelow || name == kMarkupBelow;
    const bool amount = name == kProfitBelow || name == kPriceBelow;
    if (name != kAll && !percent && !amount)
        return Fail(InvalidValue(QStringLiteral("--apply-to"), text,
                                 QStringLiteral("(erlaubt: all, margin-below=PCT, markup-below=PCT, "
                                                "profit-below=EUR, price-below=EUR)")));
    if (name == kAll && equals >= 0)
        return Fail(QStringLiteral("--apply-to all nimmt keinen Wert."));
    if (name != kAll && equals < 0)
        return Fail(QStringLiteral("%1 verlangt einen Wert: %2=%3.")
                        .arg(option, name, percent ? QStringLiteral("PCT") : QStringLiteral("EUR")));

    const bool duplicate = (name == kAll && criteria.all) || (name == kMarginBelow && criteria.marginBelow)
                           || (name == kMarkupBelow && criteria.markupBelow)
                           || (name == kProfitBelow && criteria.profitBelow)
                           || (name == kPriceBelow && criteria.priceBelow);
    if (duplicate)
        return Fail(QStringLiteral("%1 ist mehrfach angegeben.").arg(option));

    if (name == kAll)
        criteria.all = true;
    else if (name == kMarginBelow)
        criteria.marginBelow = ReadPercent(option, value, UseOnMarginBelow, locale_, error_);
    else if (name == kMarkupBelow)
        criteria.markupBelow = ReadPercent(option, value, UseOnMarkupBelow, locale_, error_);
    else if (name == kProfitBelow)
        criteria.profitBelow = ReadAmount(option, value, UseOnProfitBelow, locale_, error_);
    else
        criteria.priceBelow = ReadAmount(option, value, UseOnPriceBelow, locale_, error_);
    return error_.isEmpty();
}

bool RuleOptionReader::ReadValues(RuleValues &values)
{
    return ReadPercentOption(Markup, values.markup) && ReadPercentOption(Margin, values.margin)
           && ReadPercentOption(Vat, values.vat) && ReadAmountOption(Profit, values.profit)
           && ReadAmountOption(MinProfit, values.minProfit) && ReadAmountOption(MinSellRate, values.minRate)
           && ReadAmountOption(RoundUp, values.roundUp);
}

// Combinations the window's switches never offer.
bool RuleOptionReader::CheckCombinations(const RuleValues &values, const Criteria &criteria, bool profitMode)
{
    if (values.markup && values.margin)
        return Fail(QStringLiteral("--markup und --margin schließen einander aus: der Aufschlag legt die Marge "
                                   "fest und umgekehrt."));
    if (values.minProfit && profitMode)
        return Fail(QStringLiteral("--min-profit gilt nicht mit --mode profit: dort zählt der feste Profit."));
    if (criteria.all && (criteria.marginBelow || criteria.markupBelow || criteria.profitBelow || criteria.priceBelow))
        return Fail(QStringLiteral("--apply-to all schließt weitere Kriterien aus."));
    if (criteria.marginBelow && criteria.markupBelow)
        return Fail(QStringLiteral("--apply-to margin-below und --apply-to markup-below schließen einander aus."));
    if (criteria.profitBelow && !values.minProfit && !profitMode)
        return Fail(QStringLiteral("--apply-to profit-below verlangt --min-profit oder --mode profit."));
    if (criteria.priceBelow && !values.minRate)
        return Fail(QStringLiteral("--apply-to price-below verlangt --min-rate."));
    return true;
}

bool RuleOptionReader::Apply(PricingRule &rule)
{
    RuleValues values;
    Criteria criteria;
    if (!ReadValues(values) || !ReadMode(rule))
        return false;
    for (const QString &text : parser_.values(kApplyTo)) {
        if (!ReadCriterion(text, criteria))
            return false;
    }
    if (!CheckCombinations(values, criteria, rule.UseProfit))
        return false;
    SetValues(values, rule);
    SetCriteria(criteria, rule);
    return true;
}

} // namespace

void AddRuleOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {kMode, QStringLiteral("Preisbildung"), QStringLiteral("MODUS")},
        {kMarkup, QStringLiteral("Aufschlag auf EK"), QStringLiteral("PCT")},
        {kMargin, QStringLiteral("Marge vom VK"), QStringLiteral("PCT")},
        {kProfit, QStringLiteral("Profit / Gewinn"), QStringLiteral("EUR")},
        {kMinProfit, QStringLiteral("Minimaler Profit"), QStringLiteral("EUR")},
        {kMinRate, QStringLiteral("Minimaler Minutenpreis"), QStringLiteral("EUR")},
        {kVat, QStringLiteral("Mehrwertsteuer"), QStringLiteral("PCT")},
        {kRoundUp, QStringLiteral("Aufrunden ab"), QStringLiteral("EUR")},
        {kApplyTo, QStringLiteral("Anwendung"), QStringLiteral("KRITERIUM")},
    });
}

bool ApplyRuleOptions(const QCommandLineParser &parser, const QLocale &locale, PricingRule &rule, QString &error)
{
    RuleOptionReader reader(parser, locale);
    // The reader works on a copy: a refused option leaves the rule as it was.
    PricingRule changed = rule;
    if (!reader.Apply(changed)) {
        error = reader.Error();
        return false;
    }
    rule = changed;
    return true;
}

QString RuleOptionsUsage()
{
    const auto range = [](RuleFieldId id) { return RangeText(DefinitionOf(id), RangeWording::UnitOnce); };
    return QStringLiteral(
               "  Regel (Vorgabe wie im Fenster nach dem Start: Werte aus den Telvoro-Einstellungen,\n"
               "  Aufschlag auf EK, keine Untergrenzen, auf alle Einträge):\n"
               "  --mode MODUS        markup (Aufschlag auf EK), margin (Marge vom VK) oder profit\n"
               "                      (fester Profit je Minute)\n"
               "  --markup PCT        Aufschlag auf EK, %1 (legt die Marge mit fest)\n"
               "  --margin PCT        Marge vom VK, %2 (legt den Aufschlag mit fest)\n"
               "  --profit EUR        Profit / Gewinn je Minute für --mode profit, %3\n"
               "  --min-profit EUR    Minimaler Profit je Minute einschalten, %4 (nicht mit --mode profit)\n"
               "  --min-rate EUR      Minimalen Minutenpreis einschalten, %5\n"
               "  --vat PCT           Mehrwertsteuer, %6\n"
               "  --round-up EUR      Rest eines Cents, bis zu dem nicht aufgerundet wird, %7\n"
               "                      (Vorgabe 0,002)\n"
               "  --apply-to KRITERIUM  welche Einträge neu berechnet werden; mehrfach möglich, dann gelten\n"
               "                      genau die genannten:\n"
               "      all               alle Einträge (Vorgabe)\n"
               "      margin-below=PCT  Marge vom VK unter PCT, %8\n"
               "      markup-below=PCT  Aufschlag auf EK unter PCT, %9 (nicht mit margin-below)\n")
               .arg(range(Markup), range(Margin), range(Profit), range(MinProfit), range(MinSellRate), range(Vat),
                    range(RoundUp), range(UseOnMarginBelow), range(UseOnMarkupBelow))
           + QStringLiteral("      profit-below=EUR  Profit unter EUR, %1 (mit --min-profit oder --mode profit)\n"
                            "      price-below=EUR   VK-Preis unter EUR, %2 (mit --min-rate)\n"
                            "  PCT: 60, 60% oder 60,0%   EUR: 0,05 oder 0.05 oder \"0,05 €\"\n")
                 .arg(range(UseOnProfitBelow), range(UseOnPriceBelow));
}

} // namespace preisliste
