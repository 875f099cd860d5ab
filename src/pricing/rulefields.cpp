#include "pricing/rulefields.h"

#include "pricing/pricingrule.h"

#include <array>

namespace preisliste {

namespace {

using enum RuleFieldId;

constexpr ValueRange kFromZero{0.0, true, std::nullopt, false};
constexpr ValueRange kAboveZero{0.0, false, std::nullopt, false};

// The one place that says what each field takes and what it sets besides.
constexpr std::array<RuleFieldDefinition, 11> kRuleFields{{
    {Markup, "markup", RuleUnit::Percent, {0.0, true, 10.0, false}, Margin},
    {Margin, "margin", RuleUnit::Percent, {0.0, true, 1.0, false}, Markup},
    // A fixed profit is also the price below which rows are recalculated.
    {Profit, "profit", RuleUnit::Amount, kFromZero, UseOnPriceBelow},
    {MinProfit, "min-profit", RuleUnit::Amount, kFromZero, UseOnProfitBelow},
    {MinSellRate, "min-rate", RuleUnit::Amount, kFromZero, UseOnPriceBelow},
    {Vat, "vat", RuleUnit::Percent, {0.0, true, 5.0, true}, std::nullopt},
    {RoundUp, "round-up", RuleUnit::Amount, {0.0, true, 1.0, false}, std::nullopt},
    {UseOnMarginBelow, "margin-below", RuleUnit::Percent, {0.0, false, 1.0, false}, std::nullopt},
    {UseOnMarkupBelow, "markup-below", RuleUnit::Percent, {0.0, false, 10.0, true}, std::nullopt},
    {UseOnProfitBelow, "profit-below", RuleUnit::Amount, kAboveZero, std::nullopt},
    {UseOnPriceBelow, "price-below", RuleUnit::Amount, kAboveZero, std::nullopt},
}};

constexpr bool InIdOrder()
{
    for (std::size_t i = 0; i < kRuleFields.size(); ++i) {
        if (std::size_t(kRuleFields[i].id) != i)
            return false;
    }
    return true;
}
static_assert(InIdOrder(), "DefinitionOf() finds a field by its position");

// Sets one field alone, without what it also sets. Markup and margin are
// kept consistent by the rule itself.
void SetAmountAlone(PricingRule &rule, RuleFieldId id, Currency value)
{
    switch (id) {
    case Profit:
        rule.ProfitValue = value;
        return;
    case MinProfit:
        rule.MinProfitValue = value;
        return;
    case MinSellRate:
        rule.MinSellRateValue = value;
        return;
    case RoundUp:
        rule.SetRoundUpValue(value);
        return;
    case UseOnProfitBelow:
        rule.UseOnProfitValue = value;
        return;
    case UseOnPriceBelow:
        rule.UseOnSellRateValue = value;
        return;
    default:
        Q_ASSERT_X(false, "SetAmountValue", "not an amount field");
    }
}

QString Number(double value)
{
    return QString::number(value);
}

} // namespace

bool ValueRange::Contains(double value) const
{
    const bool aboveLow = lowClosed ? value >= low : value > low;
    const bool belowHigh = !high || (highClosed ? value <= *high : value < *high);
    return aboveLow && belowHigh;
}

ValueRange ValueRange::Scaled(double factor) const
{
    ValueRange scaled = *this;
    scaled.low *= factor;
    if (high)
        scaled.high = *high * factor;
    return scaled;
}

std::span<const RuleFieldDefinition> RuleFieldSpecs()
{
    return kRuleFields;
}

const RuleFieldDefinition &DefinitionOf(RuleFieldId id)
{
    return kRuleFields[std::size_t(id)];
}

double PercentValue(const PricingRule &rule, RuleFieldId id)
{
    switch (id) {
    case Markup:
        return rule.markup();
    case Margin:
        return rule.margin();
    case Vat:
        return rule.VAT();
    case UseOnMarginBelow:
        return rule.UseOnMarginValue;
    case UseOnMarkupBelow:
        return rule.UseOnMarkupValue;
    default:
        Q_ASSERT_X(false, "PercentValue", "not a percent field");
        return 0.0;
    }
}

void SetPercentValue(PricingRule &rule, RuleFieldId id, double value)
{
    switch (id) {
    case Markup:
        rule.SetMarkup(value);
        return;
    case Margin:
        rule.SetMargin(value);
        return;
    case Vat:
        rule.SetVAT(value);
        return;
    case UseOnMarginBelow:
        rule.UseOnMarginValue = value;
        return;
    case UseOnMarkupBelow:
        rule.UseOnMarkupValue = value;
        return;
    default:
        Q_ASSERT_X(false, "SetPercentValue", "not a percent field");
    }
}

Currency AmountValue(const PricingRule &rule, RuleFieldId id)
{
    switch (id) {
    case Profit:
        return rule.ProfitValue;
    case MinProfit:
        return rule.MinProfitValue;
    case MinSellRate:
        return rule.MinSellRateValue;
    case RoundUp:
        return rule.RoundUpValue();
    case UseOnProfitBelow:
        return rule.UseOnProfitValue;
    case UseOnPriceBelow:
        return rule.UseOnSellRateValue;
    default:
        Q_ASSERT_X(false, "AmountValue", "not an amount field");
        return Currency();
    }
}

void SetAmountValue(PricingRule &rule, RuleFieldId id, Currency value)
{
    SetAmountAlone(rule, id, value);
    if (const std::optional<RuleFieldId> other = DefinitionOf(id).alsoSets)
        SetAmountAlone(rule, *other, value);
}

QString RangeText(const RuleFieldDefinition &definition, RangeWording wording)
{
    const bool percent = definition.unit == RuleUnit::Percent;
    const ValueRange range = percent ? definition.range.Scaled(100.0) : definition.range;
    const QString unit = percent ? QStringLiteral(" %") : QString();
    const QString low = Number(range.low);
    if (!range.high)
        return (range.lowClosed ? QStringLiteral("ab ") : QStringLiteral("über ")) + low + unit;
    const QString lowUnit = wording == RangeWording::UnitAtBothEnds ? unit : QString();
    return (range.lowClosed ? QString() : QStringLiteral("über ")) + low + lowUnit + QStringLiteral(" bis ")
           + (range.highClosed ? QString() : QStringLiteral("unter ")) + Number(*range.high) + unit;
}

} // namespace preisliste
