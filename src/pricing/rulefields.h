#pragma once

#include "common/currency.h"

#include <QString>

#include <optional>
#include <span>

namespace preisliste {

class PricingRule;

// The values of the pricing rule an operator sets: one field each in the
// window, one option (or --apply-to criterion) each on the command line.
enum class RuleFieldId {
    Markup,           // markup on the gross purchase price
    Margin,           // margin of the selling price
    Profit,           // fixed profit per minute
    MinProfit,        // minimum profit per minute
    MinSellRate,      // minimum selling price per minute
    Vat,              // value-added tax
    RoundUp,          // the part of a cent up to which a price is not rounded up
    UseOnMarginBelow, // rows recalculated: margin below
    UseOnMarkupBelow, // rows recalculated: markup below
    UseOnProfitBelow, // rows recalculated: profit below
    UseOnPriceBelow,  // rows recalculated: selling price below
};

// Percentages are fractions (0.6 for 60 %), amounts euros.
enum class RuleUnit { Percent, Amount };

// The values a field accepts, from `low` to `high`, each end open or closed;
// without `high` there is no upper end.
struct ValueRange {
    double low = 0.0;
    bool lowClosed = true;
    std::optional<double> high;
    bool highClosed = false;

    bool Contains(double value) const;
    // The same range in other units: Scaled(100) turns fractions into percent.
    ValueRange Scaled(double factor) const;
};

struct RuleFieldDefinition {
    RuleFieldId id;
    const char *name; // the command line's name for it
    RuleUnit unit;
    ValueRange range;
    // The field a value given here sets as well: the same amount, or for
    // markup and margin each other, converted.
    std::optional<RuleFieldId> alsoSets;
};

std::span<const RuleFieldDefinition> RuleFieldSpecs();
const RuleFieldDefinition &DefinitionOf(RuleFieldId id);

// A field's value on `rule`. Setting it sets what the field also sets.
double PercentValue(const PricingRule &rule, RuleFieldId id);
void SetPercentValue(PricingRule &rule, RuleFieldId id, double value);
Currency AmountValue(const PricingRule &rule, RuleFieldId id);
void SetAmountValue(PricingRule &rule, RuleFieldId id, Currency value);

// The range in German, in percent for percentages: "0 % bis unter 1000 %",
// "über 0", ...; with UnitOnce the unit only follows the upper end.
enum class RangeWording { UnitAtBothEnds, UnitOnce };
QString RangeText(const RuleFieldDefinition &definition, RangeWording wording = RangeWording::UnitAtBothEnds);

} // namespace preisliste
