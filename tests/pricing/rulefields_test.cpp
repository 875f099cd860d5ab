#include "common/telvorosettings.h"
#include "pricing/pricingrule.h"
#include "pricing/rulefields.h"

#include <gtest/gtest.h>

namespace preisliste {
namespace {

PricingRule StandardRule()
{
    return PricingRule(TelvoroSettings::FromText(QStringLiteral("[Options]\nMwSt=19\n")));
}

// Every field's value as the rule holds it, in one comparable text.
QString Values(const PricingRule &rule)
{
    QStringList values;
    for (const RuleFieldDefinition &definition : RuleFieldSpecs()) {
        values << (definition.unit == RuleUnit::Percent ? QString::number(PercentValue(rule, definition.id))
                                                  : AmountValue(rule, definition.id).ToString());
    }
    return values.join(u' ');
}

// Setting a field changes that field and what it also sets, nothing else:
// a mixed-up accessor or coupling shows as a change in the wrong place.
TEST(RuleFields, SettingAFieldChangesItAndWhatItAlsoSetsOnly)
{
    for (const RuleFieldDefinition &definition : RuleFieldSpecs()) {
        SCOPED_TRACE(definition.name);
        PricingRule rule = StandardRule();
        const QStringList before = Values(rule).split(u' ');
        if (definition.unit == RuleUnit::Percent) {
            SetPercentValue(rule, definition.id, 0.8125);
            EXPECT_DOUBLE_EQ(PercentValue(rule, definition.id), 0.8125);
        } else {
            SetAmountValue(rule, definition.id, Currency::FromUnits(4321));
            EXPECT_EQ(AmountValue(rule, definition.id), Currency::FromUnits(4321));
            if (definition.alsoSets) {
                EXPECT_EQ(AmountValue(rule, *definition.alsoSets), Currency::FromUnits(4321));
            }
        }
        const QStringList after = Values(rule).split(u' ');
        for (const RuleFieldDefinition &other : RuleFieldSpecs()) {
            const bool mayChange = other.id == definition.id || definition.alsoSets == other.id;
            if (!mayChange) {
                EXPECT_EQ(after[int(other.id)], before[int(other.id)]) << other.name;
            }
        }
    }
}

TEST(RuleFields, MarkupAndMarginSetEachOther)
{
    PricingRule rule = StandardRule();
    SetPercentValue(rule, RuleFieldId::Markup, 1.0);
    EXPECT_DOUBLE_EQ(PercentValue(rule, RuleFieldId::Margin), 0.5);
    SetPercentValue(rule, RuleFieldId::Margin, 0.375);
    EXPECT_DOUBLE_EQ(PercentValue(rule, RuleFieldId::Markup), 0.6);
}

struct RangeCase {
    ValueRange range;
    double value;
    bool contained;
};

TEST(RuleFields, RangeEndsAreOpenOrClosedAsDeclared)
{
    const ValueRange closedOpen{0.0, true, 1.0, false};
    const ValueRange openClosed{0.0, false, 10.0, true};
    const ValueRange unbounded{0.0, false, std::nullopt, false};
    const RangeCase cases[] = {
        {closedOpen, 0.0, true},   {closedOpen, -1e-9, false}, {closedOpen, 0.9999, true},
        {closedOpen, 1.0, false},  {openClosed, 0.0, false},   {openClosed, 1e-9, true},
        {openClosed, 10.0, true},  {openClosed, 10.0001, false}, {unbounded, 0.0, false},
        {unbounded, 1e12, true},
    };
    for (const RangeCase &c : cases)
        EXPECT_EQ(c.range.Contains(c.value), c.contained) << c.value;
}

TEST(RuleFields, RangesReadInGermanWithTheirUnit)
{
    struct Case {
        RuleFieldId id;
        const char *message;
        const char *help;
    };
    const Case cases[] = {
        {RuleFieldId::Markup, "0 % bis unter 1000 %", "0 bis unter 1000 %"},
        {RuleFieldId::Vat, "0 % bis 500 %", "0 bis 500 %"},
        {RuleFieldId::UseOnMarginBelow, "über 0 % bis unter 100 %", "über 0 bis unter 100 %"},
        {RuleFieldId::UseOnMarkupBelow, "über 0 % bis 1000 %", "über 0 bis 1000 %"},
        {RuleFieldId::RoundUp, "0 bis unter 1", "0 bis unter 1"},
        {RuleFieldId::MinSellRate, "ab 0", "ab 0"},
        {RuleFieldId::UseOnPriceBelow, "über 0", "über 0"},
    };
    for (const Case &c : cases) {
        const RuleFieldDefinition &definition = DefinitionOf(c.id);
        EXPECT_EQ(RangeText(definition), QString::fromUtf8(c.message)) << definition.name;
        EXPECT_EQ(RangeText(definition, RangeWording::UnitOnce), QString::fromUtf8(c.help)) << definition.name;
    }
}

} // namespace
} // namespace preisliste
