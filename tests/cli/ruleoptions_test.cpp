#include "cli/ruleoptions.h"
#include "common/telvorosettings.h"
#include "pricing/pricingrule.h"

#include <QCommandLineParser>
#include <QLocale>

#include <gtest/gtest.h>

namespace preisliste {
namespace {

Currency Eur(const char *text)
{
    return Currency::Parse(QString::fromLatin1(text)).value();
}

PricingRule SettingsRule()
{
    return PricingRule(TelvoroSettings::FromText(QStringLiteral(
        "[Options]\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\nMwSt=19\n")));
}

struct Applied {
    bool ok = false;
    QString error;
    PricingRule rule = SettingsRule();
};

Applied Apply(const QStringList &options)
{
    QCommandLineParser parser;
    AddRuleOptions(parser);
    EXPECT_TRUE(parser.parse(QStringList{QStringLiteral("preisliste update")} + options))
        << parser.errorText().toStdString();
    Applied applied;
    applied.ok = ApplyRuleOptions(parser, QLocale(QLocale::German, QLocale::Germany), applied.rule, applied.error);
    return applied;
}

TEST(RuleOptions, WithoutOptionsTheRuleIsTheWindowsAfterStartUp)
{
    const Applied applied = Apply({});
    ASSERT_TRUE(applied.ok) << applied.error.toStdString();
    const PricingRule &rule = applied.rule;
    EXPECT_TRUE(rule.UseOnAll);
    EXPECT_TRUE(rule.UseMarkup);
    EXPECT_FALSE(rule.UseMargin || rule.UseProfit || rule.UseMinProfit || rule.UseMinSellRate);
    EXPECT_DOUBLE_EQ(rule.markup(), 0.6);
    EXPECT_DOUBLE_EQ(rule.VAT(), 0.19);
    EXPECT_EQ(rule.RoundUpValue(), Eur("0.002"));
    EXPECT_EQ(rule.MinSellRateValue, Eur("0.10"));
    // The worked example, as the window shows it at start.
    const RowPrice price = rule.CalculateNewVk(Eur("0.129"), Eur("0.23"));
    EXPECT_TRUE(price.changed);
    EXPECT_EQ(price.newSelling, Eur("0.25"));
}

TEST(RuleOptions, AValueGivenRetiresTheWarningAboutItsSetting)
{
    const auto warnedRule = [] {
        return PricingRule(TelvoroSettings::FromText(
            QStringLiteral("[Options]\nRatingDefaultMargin=viel\nMinimumRatePerMinute=-1\n")));
    };
    const auto warningsAfter = [&](const QStringList &options) {
        QCommandLineParser parser;
        AddRuleOptions(parser);
        EXPECT_TRUE(parser.parse(QStringList{QStringLiteral("preisliste update")} + options));
        PricingRule rule = warnedRule();
        QString error;
        EXPECT_TRUE(ApplyRuleOptions(parser, QLocale(QLocale::German, QLocale::Germany), rule, error))
            << error.toStdString();
        return rule.Warnings().join(u'\n');
    };
    const QString all = warningsAfter({});
    EXPECT_TRUE(all.contains(QStringLiteral("„RatingDefaultMargin“")));
    EXPECT_TRUE(all.contains(QStringLiteral("„MinimumRatePerMinute“")));
    EXPECT_TRUE(all.contains(QStringLiteral("„MwSt“ fehlt")));
    const QString rest = warningsAfter({"--vat", "19", "--margin", "40", "--min-rate", "0,10"});
    EXPECT_TRUE(rest.isEmpty()) << rest.toStdString();
    EXPECT_FALSE(warningsAfter({"--vat", "7"}).contains(QStringLiteral("MwSt")));
}

struct AcceptedCase {
    QStringList options;
    void (*check)(const PricingRule &);
};

TEST(RuleOptions, AcceptedValuesReachTheRule)
{
    const AcceptedCase cases[] = {
        {{"--markup", "60"}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.markup(), 0.6); }},
        {{"--markup", "60%"}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.markup(), 0.6); }},
        {{"--markup", " 75,5% "}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.markup(), 0.755); }},
        {{"--markup=0"}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.markup(), 0.0); }},
        {{"--markup", "999,9%"}, [](const PricingRule &r) { EXPECT_NEAR(r.markup(), 9.999, 1e-12); }},
        {{"--margin", "37,5%"},
         [](const PricingRule &r) {
             EXPECT_DOUBLE_EQ(r.margin(), 0.375);
             EXPECT_DOUBLE_EQ(r.markup(), 0.6);
             EXPECT_TRUE(r.UseMarkup); // the value alone does not switch the mode
         }},
        {{"--margin", "0%"}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.margin(), 0.0); }},
        {{"--mode", "margin", "--margin", "50"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseMargin);
             EXPECT_FALSE(r.UseMarkup || r.UseProfit);
             EXPECT_DOUBLE_EQ(r.markup(), 1.0);
         }},
        {{"--mode", "profit", "--profit", "0,07 €"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseProfit);
             EXPECT_FALSE(r.UseMarkup || r.UseMargin);
             EXPECT_EQ(r.ProfitValue, Eur("0.07"));
         }},
        {{"--profit", "0"}, [](const PricingRule &r) { EXPECT_EQ(r.ProfitValue, Currency()); }},
        {{"--min-profit", "0"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseMinProfit);
             EXPECT_EQ(r.MinProfitValue, Currency());
         }},
        {{"--min-profit", "0,055"},
         [](const PricingRule &r) {
             EXPECT_EQ(r.MinProfitValue, Eur("0.055")); // more decimals than shown, kept exactly
             EXPECT_EQ(r.UseOnProfitValue, Eur("0.055"));
         }},
        {{"--min-rate", "0.12"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseMinSellRate);
             EXPECT_EQ(r.MinSellRateValue, Eur("0.12"));
             EXPECT_EQ(r.UseOnSellRateValue, Eur("0.12"));
         }},
        {{"--vat", "500%"}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.VAT(), 5.0); }},
        {{"--vat", "0"}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.VAT(), 0.0); }},
        {{"--vat", "7"}, [](const PricingRule &r) { EXPECT_DOUBLE_EQ(r.VAT(), 0.07); }},
        {{"--round-up", "0,9999"}, [](const PricingRule &r) { EXPECT_EQ(r.RoundUpValue(), Eur("0.9999")); }},
        {{"--round-up", "0"}, [](const PricingRule &r) { EXPECT_EQ(r.RoundUpValue(), Currency()); }},
        {{"--apply-to", "all"}, [](const PricingRule &r) { EXPECT_TRUE(r.UseOnAll); }},
        {{"--apply-to", "margin-below=30%"},
         [](const PricingRule &r) {
             EXPECT_FALSE(r.UseOnAll);
             EXPECT_TRUE(r.UseOnMargin());
             EXPECT_DOUBLE_EQ(r.UseOnMarginValue, 0.3);
             EXPECT_FALSE(r.UseOnMarkup() || r.UseOnProfit || r.UseOnSellRate);
         }},
        {{"--apply-to", "markup-below=1000%"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseOnMarkup());
             EXPECT_FALSE(r.UseOnMargin()); // the rule's default margin criterion is not in force
             EXPECT_DOUBLE_EQ(r.UseOnMarkupValue, 10.0);
         }},
        {{"--min-profit", "0,03", "--apply-to", "profit-below=0,05"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseOnProfit);
             EXPECT_FALSE(r.UseOnMargin() || r.UseOnMarkup() || r.UseOnSellRate || r.UseOnAll);
             EXPECT_EQ(r.UseOnProfitValue, Eur("0.05"));
             EXPECT_EQ(r.MinProfitValue, Eur("0.03"));
         }},
        {{"--mode", "profit", "--apply-to", "profit-below=0.05"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseOnProfit);
             EXPECT_TRUE(r.IsUseOnProfitEnabled());
         }},
        {{"--apply-to", "price-below=0,15", "--min-rate", "0,10"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseOnSellRate);
             EXPECT_EQ(r.UseOnSellRateValue, Eur("0.15")); // not the minimum rate's value
             EXPECT_EQ(r.MinSellRateValue, Eur("0.10"));
         }},
        {{"--apply-to", "margin-below=30", "--apply-to", "price-below=0,2", "--min-rate", "0,1"},
         [](const PricingRule &r) {
             EXPECT_TRUE(r.UseOnMargin() && r.UseOnSellRate);
             EXPECT_FALSE(r.UseOnAll || r.UseOnProfit);
         }},
    };
    for (const AcceptedCase &c : cases) {
        SCOPED_TRACE(c.options.join(u' ').toStdString());
        const Applied applied = Apply(c.options);
        ASSERT_TRUE(applied.ok) << applied.error.toStdString();
        c.check(applied.rule);
    }
}

TEST(RuleOptions, EachRefusalNamesItsOption)
{
    struct Case {
        QStringList options;
        QString message;
    };
    const Case cases[] = {
        {{"--markup", "1000%"}, "Ungültiger Wert für --markup: „1000%“ (erlaubt: 0 % bis unter 1000 %)."},
        {{"--markup", "-1"}, "Ungültiger Wert für --markup: „-1“ (erlaubt: 0 % bis unter 1000 %)."},
        {{"--markup", "sechzig"}, "Ungültiger Wert für --markup: „sechzig“ ist kein Prozentwert."},
        {{"--markup", "%"}, "Ungültiger Wert für --markup: „%“ ist kein Prozentwert."},
        {{"--markup", ""}, "Ungültiger Wert für --markup: „“ ist kein Prozentwert."},
        {{"--margin", "100%"}, "Ungültiger Wert für --margin: „100%“ (erlaubt: 0 % bis unter 100 %)."},
        {{"--margin", "-5%"}, "Ungültiger Wert für --margin: „-5%“ (erlaubt: 0 % bis unter 100 %)."},
        {{"--markup", "50", "--margin", "30"},
         "--markup und --margin schließen einander aus: der Aufschlag legt die Marge fest und umgekehrt."},
        {{"--markup", "50", "--markup", "60"}, "--markup ist mehrfach angegeben."},
        {{"--vat", "500,1%"}, "Ungültiger Wert für --vat: „500,1%“ (erlaubt: 0 % bis 500 %)."},
        {{"--vat", "-1"}, "Ungültiger Wert für --vat: „-1“ (erlaubt: 0 % bis 500 %)."},
        {{"--profit", "-0,01"}, "Ungültiger Wert für --profit: „-0,01“ (erlaubt: ab 0)."},
        {{"--profit", "5%"}, "Ungültiger Wert für --profit: „5%“ ist kein Betrag."},
        {{"--min-profit", "viel"}, "Ungültiger Wert für --min-profit: „viel“ ist kein Betrag."},
        {{"--min-profit", "-1"}, "Ungültiger Wert für --min-profit: „-1“ (erlaubt: ab 0)."},
        {{"--min-rate", "-0.01"}, "Ungültiger Wert für --min-rate: „-0.01“ (erlaubt: ab 0)."},
        {{"--round-up", "1"}, "Ungültiger Wert für --round-up: „1“ (erlaubt: 0 bis unter 1)."},
        {{"--round-up", "-0,001"}, "Ungültiger Wert für --round-up: „-0,001“ (erlaubt: 0 bis unter 1)."},
        {{"--mode", "billig"}, "Ungültiger Wert für --mode: „billig“ (erlaubt: markup, margin, profit)."},
        {{"--mode", "profit", "--min-profit", "0,05"},
         "--min-profit gilt nicht mit --mode profit: dort zählt der feste Profit."},
        {{"--apply-to", "margin-below=0%"},
         "Ungültiger Wert für --apply-to margin-below: „0%“ (erlaubt: über 0 % bis unter 100 %)."},
        {{"--apply-to", "margin-below=100%"},
         "Ungültiger Wert für --apply-to margin-below: „100%“ (erlaubt: über 0 % bis unter 100 %)."},
        {{"--apply-to", "markup-below=0"},
         "Ungültiger Wert für --apply-to markup-below: „0“ (erlaubt: über 0 % bis 1000 %)."},
        {{"--apply-to", "markup-below=1000,1%"},
         "Ungültiger Wert für --apply-to markup-below: „1000,1%“ (erlaubt: über 0 % bis 1000 %)."},
        {{"--min-profit", "0", "--apply-to", "profit-below=0"},
         "Ungültiger Wert für --apply-to profit-below: „0“ (erlaubt: über 0)."},
        {{"--min-rate", "0", "--apply-to", "price-below=0,00 €"},
         "Ungültiger Wert für --apply-to price-below: „0,00 €“ (erlaubt: über 0)."},
        {{"--apply-to", "margin-below=30%", "--apply-to", "markup-below=50%"},
         "--apply-to margin-below und --apply-to markup-below schließen einander aus."},
        {{"--apply-to", "profit-below=0,05"}, "--apply-to profit-below verlangt --min-profit oder --mode profit."},
        {{"--mode", "margin", "--apply-to", "profit-below=0,05"},
         "--apply-to profit-below verlangt --min-profit oder --mode profit."},
        {{"--apply-to", "price-below=0,2"}, "--apply-to price-below verlangt --min-rate."},
        {{"--apply-to", "all", "--apply-to", "margin-below=30%"}, "--apply-to all schließt weitere Kriterien aus."},
        {{"--apply-to", "alles"},
         "Ungültiger Wert für --apply-to: „alles“ (erlaubt: all, margin-below=PCT, markup-below=PCT, "
         "profit-below=EUR, price-below=EUR)."},
        {{"--apply-to", "margin-below"}, "--apply-to margin-below verlangt einen Wert: margin-below=PCT."},
        {{"--apply-to", "price-below"}, "--apply-to price-below verlangt einen Wert: price-below=EUR."},
        {{"--apply-to", "all=1"}, "--apply-to all nimmt keinen Wert."},
        {{"--apply-to", "margin-below=30", "--apply-to", "margin-below=20"},
         "--apply-to margin-below ist mehrfach angegeben."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.join(u' ').toStdString());
        const Applied applied = Apply(c.options);
        EXPECT_FALSE(applied.ok);
        EXPECT_EQ(applied.error, c.message);
    }
}

TEST(RuleOptions, ARefusalLeavesTheRuleAsItWas)
{
    const Applied applied = Apply({"--markup", "20", "--vat", "7", "--apply-to", "price-below=0,2"});
    ASSERT_FALSE(applied.ok);
    EXPECT_DOUBLE_EQ(applied.rule.markup(), 0.6);
    EXPECT_DOUBLE_EQ(applied.rule.VAT(), 0.19);
    EXPECT_FALSE(applied.rule.UseOnAll);
}

} // namespace
} // namespace preisliste
