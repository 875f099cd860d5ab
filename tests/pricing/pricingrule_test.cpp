#include "common/telvorosettings.h"
#include "pricing/pricingrule.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace preisliste {
namespace {

} // namespace

void PrintTo(Currency amount, std::ostream *os)
{
    *os << amount.ToString().toStdString();
}

namespace {

Currency Eur(const char *text)
{
    return Currency::Parse(QString::fromLatin1(text)).value();
}

// The rule as a shop with the usual settings starts it: markup 60 %, VAT 19 %,
// minimum rate 0,10, margin criterion at 37,5 %.
PricingRule StandardRule()
{
    return PricingRule(TelvoroSettings::FromText(QStringLiteral(
        "[Options]\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\nMwSt=19\n")));
}

RowPrice Calculate(const PricingRule &rule, const char *netBuying, const char *oldSelling)
{
    return rule.CalculateNewVk(Eur(netBuying), Eur(oldSelling));
}

struct PricingCase {
    const char *name;
    void (*configure)(PricingRule &);
    const char *netBuying;
    const char *oldSelling;
    bool changed;
    const char *newSelling;
    const char *profit;
    double markup;
    double margin;
};

// A rule without VAT and markup: the new price is the purchase price itself,
// which isolates the rounding to whole cents.
void PlainPrice(PricingRule &rule)
{
    rule.UseOnAll = true;
    rule.SetVAT(0.0);
    rule.SetMarkup(0.0);
}

const PricingCase kPricingCases[] = {
    // The worked example: gross 0,1535, old profit 0,0765.
    {"worked example, all rows", [](PricingRule &r) { r.UseOnAll = true; },
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},
    {"worked example, margin 33,3 % below the default 37,5 %", [](PricingRule &) {},
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},
    {"worked example, margin threshold 30 % not met", [](PricingRule &r) { r.UseOnMarginValue = 0.30; },
     "0.1290", "0.23", false, "0.23", "0.0765", 0.49837, 0.33261},
    {"old price equal to the new one", [](PricingRule &r) { r.UseOnAll = true; },
     "0.1290", "0.25", false, "0.25", "0.0965", 0.62866, 0.386},

    // Rounding with the default threshold 0,002.
    {"remainder 0,0020 is cut", PlainPrice, "0.1020", "1", true, "0.10", "-0.0020", -0.0196, -0.02},
    {"remainder 0,0021 adds a cent", PlainPrice, "0.1021", "1", true, "0.11", "0.0079", 0.07738, 0.07182},
    {"whole cents stay", PlainPrice, "0.1000", "1", true, "0.10", "0", 0.0, 0.0},
    {"threshold 0: whole cents stay",
     [](PricingRule &r) { PlainPrice(r); r.SetRoundUpValue(Currency()); },
     "0.1000", "1", true, "0.10", "0", 0.0, 0.0},
    {"threshold 0: any remainder adds a cent",
     [](PricingRule &r) { PlainPrice(r); r.SetRoundUpValue(Currency()); },
     "0.1001", "1", true, "0.11", "0.0099", 0.0989, 0.09},
    {"threshold 0,0099: every remainder is cut",
     [](PricingRule &r) { PlainPrice(r); r.SetRoundUpValue(Eur("0.0099")); },
     "0.1099", "1", true, "0.10", "-0.0099", -0.09008, -0.099},
    {"threshold 0,01 lowers whole cents",
     [](PricingRule &r) { PlainPrice(r); r.SetRoundUpValue(Eur("0.01")); },
     "0.1000", "1", true, "0.09", "-0.01", -0.1, -0.11111},
    {"threshold 0,05 lowers by more than the remainder",
     [](PricingRule &r) { PlainPrice(r); r.SetRoundUpValue(Eur("0.05")); },
     "0.1530", "1", true, "0.11", "-0.043", -0.28105, -0.39091},

    // Zero purchase price: gross 0, markup 100.
    {"purchase price 0 in markup mode", [](PricingRule &r) { r.UseOnAll = true; },
     "0", "0.23", true, "0", "0", 100.0, 1.0},
    {"purchase price 0 lifted by minimum profit",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMinProfit = true; },
     "0", "0.23", true, "0.05", "0.05", 100.0, 1.0},
    {"purchase price 0 lifted by minimum rate",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMinSellRate = true; },
     "0", "0.23", true, "0.10", "0.10", 100.0, 1.0},
    {"purchase price 0 not selected keeps markup 100", [](PricingRule &) {},
     "0", "0.23", false, "0.23", "0.23", 100.0, 1.0},

    // Zero old price: margin 1, old profit minus the gross price.
    {"old price 0 is never below a margin threshold", [](PricingRule &r) { r.UseOnMarginValue = 0.99; },
     "0.1290", "0", false, "0", "-0.1535", -1.0, 1.0},
    {"old price 0 below a profit threshold",
     [](PricingRule &r) { r.SetUseOnMargin(false); r.UseOnProfit = true; },
     "0.1290", "0", true, "0.25", "0.0965", 0.62866, 0.386},
    {"old price 0 below a price threshold",
     [](PricingRule &r) { r.SetUseOnMargin(false); r.UseMinSellRate = true; r.UseOnSellRate = true; },
     "0.1290", "0", true, "0.25", "0.0965", 0.62866, 0.386},

    // Modes.
    // 0,1535 x 2 = 0,3070 -> 0,31
    {"margin mode 50 % doubles the gross price",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMarkup = false; r.UseMargin = true; r.SetMargin(0.5); },
     "0.1290", "0.23", true, "0.31", "0.1565", 1.01954, 0.50484},
    {"profit mode adds the fixed profit",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMarkup = false; r.UseProfit = true; },
     "0.1290", "0.23", true, "0.21", "0.0565", 0.36808, 0.26905},
    {"profit mode ignores minimum profit",
     [](PricingRule &r) {
         r.UseOnAll = true; r.UseMarkup = false; r.UseProfit = true; r.ProfitValue = Eur("0.01");
         r.UseMinProfit = true; r.MinProfitValue = Eur("0.05");
     },
     "0.1290", "0.23", true, "0.17", "0.0165", 0.10749, 0.09706},
    {"profit mode wins over markup mode",
     [](PricingRule &r) { r.UseOnAll = true; r.UseProfit = true; },
     "0.1290", "0.23", true, "0.21", "0.0565", 0.36808, 0.26905},
    {"no mode: base price 0, rounding alone", [](PricingRule &r) { r.UseOnAll = true; r.UseMarkup = false; },
     "0.1290", "0.23", true, "0", "-0.1535", -1.0, 1.0},
    {"no mode: minimum profit still applies",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMarkup = false; r.UseMinProfit = true; },
     "0.1290", "0.23", true, "0.21", "0.0565", 0.36808, 0.26905},

    // Floors.
    {"minimum profit lifts a thin markup",
     [](PricingRule &r) { r.UseOnAll = true; r.SetMarkup(0.1); r.UseMinProfit = true; },
     "0.1290", "0.23", true, "0.21", "0.0565", 0.36808, 0.26905},
    {"minimum profit below the markup profit changes nothing",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMinProfit = true; },
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},
    {"minimum rate after rounding, not rounded itself",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMinSellRate = true; r.MinSellRateValue = Eur("0.2555"); },
     "0.1290", "0.23", true, "0.2555", "0.102", 0.66450, 0.39922},
    {"minimum rate equal to the price changes nothing",
     [](PricingRule &r) { r.UseOnAll = true; r.UseMinSellRate = true; r.MinSellRateValue = Eur("0.25"); },
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},

    // Criteria: strict comparisons, alternatives, and when they are evaluated.
    {"markup criterion met", [](PricingRule &r) { r.SetUseOnMarkup(true); },
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},
    {"markup criterion not met",
     [](PricingRule &r) { r.SetUseOnMarkup(true); r.UseOnMarkupValue = 0.49; },
     "0.1290", "0.23", false, "0.23", "0.0765", 0.49837, 0.33261},
    {"profit equal to the threshold is not below it",
     [](PricingRule &r) { r.SetUseOnMargin(false); r.UseOnProfit = true; r.UseOnProfitValue = Eur("0.0765"); },
     "0.1290", "0.23", false, "0.23", "0.0765", 0.49837, 0.33261},
    {"profit one unit below the threshold",
     [](PricingRule &r) { r.SetUseOnMargin(false); r.UseOnProfit = true; r.UseOnProfitValue = Eur("0.0766"); },
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},
    {"profit criterion not evaluated in profit mode",
     [](PricingRule &r) {
         r.SetUseOnMargin(false); r.UseMarkup = false; r.UseProfit = true; r.UseOnProfit = true;
         r.UseOnProfitValue = Eur("1");
     },
     "0.1290", "0.23", false, "0.23", "0.0765", 0.49837, 0.33261},
    {"price equal to the threshold is not below it",
     [](PricingRule &r) {
         r.SetUseOnMargin(false); r.UseMinSellRate = true; r.UseOnSellRate = true;
         r.UseOnSellRateValue = Eur("0.23");
     },
     "0.1290", "0.23", false, "0.23", "0.0765", 0.49837, 0.33261},
    {"price one unit below the threshold",
     [](PricingRule &r) {
         r.SetUseOnMargin(false); r.UseMinSellRate = true; r.UseOnSellRate = true;
         r.UseOnSellRateValue = Eur("0.2301");
     },
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},
    {"price criterion needs the minimum rate",
     [](PricingRule &r) { r.SetUseOnMargin(false); r.UseOnSellRate = true; r.UseOnSellRateValue = Eur("1"); },
     "0.1290", "0.23", false, "0.23", "0.0765", 0.49837, 0.33261},
    {"a later criterion selects when the margin one does not",
     [](PricingRule &r) { r.UseOnMarginValue = 0.30; r.UseOnProfit = true; r.UseOnProfitValue = Eur("0.08"); },
     "0.1290", "0.23", true, "0.25", "0.0965", 0.62866, 0.386},
    {"no criterion in force selects nothing", [](PricingRule &r) { r.SetUseOnMargin(false); },
     "0.1290", "0", false, "0", "-0.1535", -1.0, 1.0},
};

TEST(CalculateNewVk, PricesEachCaseAsTheRuleSays)
{
    for (const PricingCase &c : kPricingCases) {
        SCOPED_TRACE(c.name);
        PricingRule rule = StandardRule();
        c.configure(rule);
        const RowPrice out = Calculate(rule, c.netBuying, c.oldSelling);
        EXPECT_EQ(out.changed, c.changed);
        EXPECT_EQ(out.newSelling, Eur(c.newSelling));
        EXPECT_EQ(out.profit, Eur(c.profit));
        EXPECT_NEAR(out.markup, c.markup, 5e-5);
        EXPECT_NEAR(out.margin, c.margin, 5e-5);
    }
}

TEST(CalculateNewVk, GrossPriceRoundsToTheNearestUnit)
{
    PricingRule rule = StandardRule();
    rule.UseOnAll = true;
    rule.SetMarkup(0.0);
    rule.SetRoundUpValue(Eur("0.0099")); // addend 0: the price shows the gross price's cents
    // 0,129 x 1,19 = 0,15351 -> 0,1535; 0,1291 x 1,19 = 0,153629 -> 0,1536.
    RowPrice out = Calculate(rule, "0.1290", "1");
    EXPECT_EQ(out.profit.ToString(), QStringLiteral("-0.0035"));
    out = Calculate(rule, "0.1291", "1");
    EXPECT_EQ(out.profit.ToString(), QStringLiteral("-0.0036"));
}

TEST(CalculateNewVk, NegativePricesAreCutTowardZero)
{
    PricingRule rule = StandardRule();
    rule.UseOnAll = true;
    rule.SetVAT(0.0);
    rule.UseMarkup = false;
    rule.UseProfit = true;
    rule.ProfitValue = Eur("-0.2");
    // 0,10 - 0,20 + 0,0079 = -0,0921 -> -0,09
    EXPECT_EQ(Calculate(rule, "0.10", "1").newSelling.ToString(), QStringLiteral("-0.0900"));
}

TEST(CalculateNewVk, AmountBeyondTheCurrencyRangeThrows)
{
    PricingRule rule = StandardRule();
    rule.UseOnAll = true;
    rule.SetMarkup(9.99);
    EXPECT_THROW(rule.CalculateNewVk(Currency::FromUnits(std::int64_t(9e17)), Currency()), std::overflow_error);
}

TEST(CalculateNewVk, LeavesTheRuleUnchanged)
{
    PricingRule rule = StandardRule();
    rule.UseOnAll = true;
    Calculate(rule, "0.1290", "0.23");
    EXPECT_DOUBLE_EQ(rule.markup(), 0.6);
    EXPECT_TRUE(rule.UseOnMargin());
    EXPECT_EQ(rule.RoundUpValue(), Eur("0.002"));
}

TEST(PricingRuleSetters, MarkupAndMarginFollowEachOther)
{
    PricingRule rule = StandardRule();
    rule.SetMarkup(0.6);
    EXPECT_DOUBLE_EQ(rule.margin(), 0.375);
    rule.SetMargin(0.5);
    EXPECT_DOUBLE_EQ(rule.markup(), 1.0);
    EXPECT_DOUBLE_EQ(rule.margin(), 0.5);
    rule.SetMarkup(0.0);
    EXPECT_DOUBLE_EQ(rule.margin(), 0.0);
    rule.SetMargin(0.0);
    EXPECT_DOUBLE_EQ(rule.markup(), 0.0);
}

TEST(PricingRuleSetters, MarginAndMarkupCriteriaExcludeEachOther)
{
    PricingRule rule = StandardRule();
    EXPECT_TRUE(rule.UseOnMargin());
    EXPECT_FALSE(rule.UseOnMarkup());
    rule.SetUseOnMarkup(true);
    EXPECT_TRUE(rule.UseOnMarkup());
    EXPECT_FALSE(rule.UseOnMargin());
    rule.SetUseOnMargin(false); // clearing one never sets the other
    EXPECT_TRUE(rule.UseOnMarkup());
    rule.SetUseOnMarkup(false);
    EXPECT_FALSE(rule.UseOnMarkup());
    EXPECT_FALSE(rule.UseOnMargin());
    rule.SetUseOnMargin(true);
    rule.SetUseOnMarkup(false);
    EXPECT_TRUE(rule.UseOnMargin());
}

TEST(PricingRuleSetters, VatAndRoundUpValueAreKept)
{
    PricingRule rule = StandardRule();
    rule.SetVAT(0.07);
    EXPECT_DOUBLE_EQ(rule.VAT(), 0.07);
    rule.SetRoundUpValue(Eur("0.0045"));
    EXPECT_EQ(rule.RoundUpValue(), Eur("0.0045"));
    // With VAT 7 % the gross of 0,10 is 0,107: remainder 0,007 above 0,0045.
    rule.UseOnAll = true;
    rule.SetMarkup(0.0);
    EXPECT_EQ(Calculate(rule, "0.10", "1").newSelling, Eur("0.11"));
    rule.SetRoundUpValue(Eur("0.007"));
    EXPECT_EQ(Calculate(rule, "0.10", "1").newSelling, Eur("0.10"));
}

TEST(PricingRuleSwitches, ReadOnlyPropertiesFollowModesAndFloors)
{
    struct Case {
        bool markup, margin, profit, minProfit, minRate, all;
        bool minProfitEnabled, useOnProfitEnabled, useOnSellRateEnabled;
    };
    const Case cases[] = {
        {true, false, false, false, false, false, true, false, false},
        {true, false, false, true, false, false, true, true, false},
        {true, false, false, true, false, true, true, false, false},
        {false, true, false, true, false, false, true, true, false},
        {false, false, true, false, false, false, false, true, false},
        {false, false, true, true, false, true, false, false, false},
        {false, false, false, true, false, false, false, false, false},
        {true, false, false, false, true, false, true, false, true},
        {true, false, false, false, true, true, true, false, false},
    };
    for (const Case &c : cases) {
        PricingRule rule = StandardRule();
        rule.UseMarkup = c.markup;
        rule.UseMargin = c.margin;
        rule.UseProfit = c.profit;
        rule.UseMinProfit = c.minProfit;
        rule.UseMinSellRate = c.minRate;
        rule.UseOnAll = c.all;
        SCOPED_TRACE(::testing::Message() << c.markup << c.margin << c.profit << c.minProfit << c.minRate << c.all);
        EXPECT_EQ(rule.IsMinProfitEnabled(), c.minProfitEnabled);
        EXPECT_EQ(rule.IsUseOnProfitEnabled(), c.useOnProfitEnabled);
        EXPECT_EQ(rule.IsUseOnSellRateEnabled(), c.useOnSellRateEnabled);
    }
}

TEST(PricingRuleDefaults, FollowTheSettings)
{
    const PricingRule rule = PricingRule(TelvoroSettings::FromText(QStringLiteral(
        "[Options]\nRatingDefaultMargin=50\nMinimumRatePerMinute=0,12\nMwSt=7\n")));
    EXPECT_TRUE(rule.Warnings().isEmpty());
    EXPECT_DOUBLE_EQ(rule.markup(), 0.5);
    EXPECT_DOUBLE_EQ(rule.margin(), 0.5 / 1.5);
    EXPECT_DOUBLE_EQ(rule.UseOnMarkupValue, 0.5);
    EXPECT_DOUBLE_EQ(rule.UseOnMarginValue, 0.5 / 1.5);
    EXPECT_DOUBLE_EQ(rule.VAT(), 0.07);
    EXPECT_EQ(rule.MinSellRateValue, Eur("0.12"));
    EXPECT_EQ(rule.UseOnSellRateValue, Eur("0.12"));
    EXPECT_EQ(rule.ProfitValue, Eur("0.05"));
    EXPECT_EQ(rule.MinProfitValue, Eur("0.05"));
    EXPECT_EQ(rule.UseOnProfitValue, Eur("0.05"));
    EXPECT_EQ(rule.RoundUpValue(), Eur("0.002"));
    EXPECT_TRUE(rule.UseMarkup);
    EXPECT_FALSE(rule.UseMargin || rule.UseProfit || rule.UseMinProfit || rule.UseMinSellRate);
    EXPECT_FALSE(rule.UseOnAll || rule.UseOnProfit || rule.UseOnSellRate);
    EXPECT_TRUE(rule.UseOnMargin());
    EXPECT_FALSE(rule.UseOnMarkup());
    EXPECT_FALSE(rule.UseOnInternationalOnly || rule.UseOnDefaultRatesOnly);
}

TEST(PricingRuleDefaults, EachSettingFallsBackWithAWarning)
{
    struct Case {
        const char *ini;
        double markup;
        const char *minimumRate;
        double vat;
        const char *warningAbout; // nullptr: no warning
    };
    const Case cases[] = {
        {"RatingDefaultMargin=37,5\nMinimumRatePerMinute=0.15\nMwSt=7,5", 0.375, "0.15", 0.075, nullptr},
        {"RatingDefaultMargin= 37.5 \nMinimumRatePerMinute=0,15 €\nMwSt=0", 0.375, "0.15", 0.0, nullptr},
        {"RatingDefaultMargin=999\nMinimumRatePerMinute=0\nMwSt=500", 9.99, "0", 5.0, nullptr},
        {"RatingDefaultMargin=0\nMwSt=19", 0.0, "0.10", 0.19, nullptr},
        {"RatingDefaultMargin=60", 0.6, "0.10", 0.19, "„MwSt“ fehlt"},
        {"MwSt=", 0.6, "0.10", 0.19, "„MwSt“ fehlt"},
        {"MwSt=neunzehn", 0.6, "0.10", 0.19, "„MwSt“ (neunzehn) ist keine Zahl"},
        {"MwSt=nan", 0.6, "0.10", 0.19, "„MwSt“ (nan) ist keine Zahl"},
        {"MwSt=-19", 0.6, "0.10", 0.19, "„MwSt“ (-19) ist kein Satz"},
        {"MwSt=500,1", 0.6, "0.10", 0.19, "„MwSt“ (500,1) ist kein Satz"},
        {"MwSt=19\nRatingDefaultMargin=sechzig", 0.6, "0.10", 0.19, "„RatingDefaultMargin“ (sechzig) ist keine Zahl"},
        {"MwSt=19\nRatingDefaultMargin=inf", 0.6, "0.10", 0.19, "„RatingDefaultMargin“ (inf) ist keine Zahl"},
        {"MwSt=19\nRatingDefaultMargin=-100", 0.6, "0.10", 0.19, "„RatingDefaultMargin“ (-100) ist kein Aufschlag"},
        {"MwSt=19\nRatingDefaultMargin=1000", 0.6, "0.10", 0.19, "„RatingDefaultMargin“ (1000) ist kein Aufschlag"},
        {"MwSt=19\nMinimumRatePerMinute=zehn", 0.6, "0.10", 0.19, "„MinimumRatePerMinute“ (zehn) ist kein Betrag"},
        {"MwSt=19\nMinimumRatePerMinute=-0,10", 0.6, "0.10", 0.19, "„MinimumRatePerMinute“ (-0,10) ist negativ"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ini);
        const PricingRule rule(TelvoroSettings::FromText(QStringLiteral("[Options]\n") + QString::fromUtf8(c.ini)));
        EXPECT_DOUBLE_EQ(rule.markup(), c.markup);
        EXPECT_EQ(rule.MinSellRateValue, Eur(c.minimumRate));
        EXPECT_DOUBLE_EQ(rule.VAT(), c.vat);
        if (c.warningAbout) {
            ASSERT_EQ(rule.Warnings().size(), 1);
            EXPECT_TRUE(rule.Warnings().constFirst().contains(QString::fromUtf8(c.warningAbout)))
                << rule.Warnings().constFirst().toStdString();
        } else {
            EXPECT_TRUE(rule.Warnings().isEmpty()) << rule.Warnings().join(u'\n').toStdString();
        }
    }
}

TEST(PricingRuleDefaults, WithoutAnySettingsEveryDefaultHolds)
{
    const PricingRule rule{TelvoroSettings()};
    EXPECT_DOUBLE_EQ(rule.markup(), 0.6);
    EXPECT_DOUBLE_EQ(rule.margin(), 0.375);
    EXPECT_EQ(rule.MinSellRateValue, Eur("0.10"));
    EXPECT_DOUBLE_EQ(rule.VAT(), 0.19);
    EXPECT_EQ(rule.Warnings().size(), 1); // only the missing "MwSt" is worth a word
}

} // namespace
} // namespace preisliste
