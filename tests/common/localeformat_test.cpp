#include "common/localeformat.h"

#include "support/testsupport.h"

namespace preisliste {
namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

TEST(ParsePercent, ReadsTheNumberBeforeAnOptionalPercentSign)
{
    for (const char *text : {"60", "60%", "60,0%", " 60,0 % ", "60.0"})
        EXPECT_DOUBLE_EQ(ParsePercent(QString::fromUtf8(text), kGerman).value_or(-1), 0.6) << text;
    EXPECT_DOUBLE_EQ(ParsePercent(QStringLiteral("0,6"), kGerman).value_or(-1), 0.006);
    EXPECT_DOUBLE_EQ(ParsePercent(QStringLiteral("-5%"), kGerman).value_or(0), -0.05);
    for (const char *text : {"", "%", "abc", "60%%", "6o", "1e999"})
        EXPECT_FALSE(ParsePercent(QString::fromUtf8(text), kGerman).has_value()) << text;
}

TEST(ParseCurrency, AcceptsWhatTheDisplayWritesAndPlainNumbers)
{
    struct Case {
        const char *text;
        std::int64_t units;
    };
    for (const Case &c : {Case{"0,05 €", 500}, Case{"0,05", 500}, Case{"0.05", 500}, Case{"€ 0,05", 500},
                          Case{"1.234,56 €", 12345600}, Case{"0,0555", 555}, Case{"0,05555", 556},
                          Case{"-0,10 €", -1000}, Case{" 3 ", 30000}}) {
        const auto value = ParseCurrency(QString::fromUtf8(c.text), kGerman);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(value->Units(), c.units) << c.text;
    }
    for (const char *text : {"", "€", "5%", "abc", "1,2,3"})
        EXPECT_FALSE(ParseCurrency(QString::fromUtf8(text), kGerman).has_value()) << text;
}

TEST(LocaleFormat, APointAfterALoneZeroIsADecimalPointNotGrouping)
{
    // German groups with ".", so "0.125" would otherwise read as 125.
    struct Case {
        const char *text;
        std::int64_t units;
    };
    for (const Case &c : {Case{"0.125", 1250}, Case{"0.002", 20}, Case{"-0.125 €", -1250}, Case{"0.100", 1000},
                          Case{"1.250", 12500000}, Case{"1.250,5", 12505000}}) {
        const auto value = ParseCurrency(QString::fromUtf8(c.text), kGerman);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(value->Units(), c.units) << c.text;
    }
    EXPECT_DOUBLE_EQ(ParsePercent(QStringLiteral("0.125%"), kGerman).value_or(-1), 0.00125);
    EXPECT_DOUBLE_EQ(ParsePercent(QStringLiteral("1.000%"), kGerman).value_or(-1), 10.0);
    // An English locale groups with ",": the same rule keeps "0,5" from reading as 5.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(ParseCurrency(QStringLiteral("0,5"), english).value_or(Currency()).Units(), 5000);
}

TEST(LocaleFormat, CurrencyDecimalsOfTheLocale)
{
    EXPECT_EQ(CurrencyDecimals(kGerman), 2);
    EXPECT_EQ(CurrencyDecimals(QLocale(QLocale::English, QLocale::UnitedStates)), 2);
    EXPECT_EQ(CurrencyDecimals(QLocale(QLocale::Japanese, QLocale::Japan)), 0);
}

TEST(LocaleFormat, GermanDisplay)
{
    EXPECT_EQ(FormatPercent(0.6, kGerman), QStringLiteral("60,0%"));
    EXPECT_EQ(FormatPercent(0.375, kGerman), QStringLiteral("37,5%"));
    EXPECT_EQ(FormatCurrency(Currency::FromUnits(500), kGerman), QStringLiteral("0,05 €"));
    EXPECT_EQ(FormatCurrency(Currency::FromUnits(550), kGerman), QStringLiteral("0,06 €"));
    EXPECT_EQ(FormatCurrency(Currency::FromUnits(1290), kGerman, 4), QStringLiteral("0,1290 €"));
    EXPECT_EQ(FormatRoundUp(Currency::FromUnits(20), kGerman), QStringLiteral("0,002"));
    EXPECT_EQ(FormatRoundUp(Currency::FromUnits(9999), kGerman), QStringLiteral("0,9999"));
    EXPECT_EQ(FormatRoundUp(Currency::FromUnits(0), kGerman), QStringLiteral("0,00"));
    EXPECT_EQ(FormatRoundUp(Currency::FromUnits(100), kGerman), QStringLiteral("0,01"));
}

TEST(LocaleFormat, DisplayedTextsReadBack)
{
    for (std::int64_t units : {0LL, 1LL, 500LL, 1290LL, 12345678LL, -550LL, 661161616622345164LL}) {
        const Currency amount = Currency::FromUnits(units);
        EXPECT_EQ(ParseCurrency(FormatCurrency(amount, kGerman, 4), kGerman), amount);
        EXPECT_EQ(ParseCurrency(FormatRoundUp(amount, kGerman), kGerman), amount);
    }
}

} // namespace
} // namespace preisliste
