#include "common/currency.h"

#include "support/testsupport.h"

#include <limits>
#include <stdexcept>

namespace preisliste {
namespace {

TEST(Currency, FromDoubleRoundsToNearestTiesToEven)
{
    struct Case {
        double euros;
        std::int64_t units;
    };
    // The product with 10000 is taken in double precision, so decimal halves
    // such as 0.00025 become exact ties; 0.00015 lands just below its half.
    const Case cases[] = {{0.0, 0},       {0.15351, 1535},   {0.129, 1290},       {0.12345, 1234},
                          {0.00005, 0},   {0.00025, 2},      {0.00035, 4},        {0.00015, 1},
                          {-0.00025, -2}, {-1.23456, -12346}, {1.1944625, 11945}, {0.1 + 0.2, 3000}};
    for (const Case &c : cases)
        EXPECT_EQ(Currency::FromDouble(c.euros).Units(), c.units) << c.euros;
}

TEST(Currency, FromDoubleRefusesWhatDoesNotFit)
{
    EXPECT_THROW(Currency::FromDouble(std::numeric_limits<double>::quiet_NaN()), std::overflow_error);
    EXPECT_THROW(Currency::FromDouble(std::numeric_limits<double>::infinity()), std::overflow_error);
    EXPECT_THROW(Currency::FromDouble(1e16), std::overflow_error);
    EXPECT_FALSE(Currency::TryFromDouble(-1e16).has_value());
    EXPECT_TRUE(Currency::TryFromDouble(9e14).has_value());
}

TEST(Currency, ArithmeticIsExactAndChecked)
{
    const Currency a = Currency::FromUnits(1);
    EXPECT_EQ((Currency::FromDouble(0.1) + Currency::FromDouble(0.2)).Units(), 3000);
    EXPECT_EQ((Currency::FromUnits(2535) + Currency::FromUnits(79)).TruncatedToCents().Units(), 2600);
    EXPECT_EQ(Currency::FromUnits(-2535).TruncatedToCents().Units(), -2500);
    EXPECT_LT(-a, Currency());
    const Currency max = Currency::FromUnits(std::numeric_limits<std::int64_t>::max());
    EXPECT_THROW(max + a, std::overflow_error);
    EXPECT_THROW(Currency::FromUnits(std::numeric_limits<std::int64_t>::min()) - a, std::overflow_error);
    EXPECT_THROW(-Currency::FromUnits(std::numeric_limits<std::int64_t>::min()), std::overflow_error);
}

TEST(Currency, ParseReadsDecimalPointOrComma)
{
    struct Case {
        const char16_t *text;
        std::optional<std::int64_t> units;
    };
    const Case cases[] = {{u"0.05", 500},        {u"0,05", 500},          {u" 12 ", 120000},
                          {u"-1,5", -15000},     {u"+.5", 5000},          {u"5.", 50000},
                          {u"0.00005", 0},       {u"0.00015", 2},         {u"0.000051", 1},
                          {u"0.12349", 1235},    {u"", std::nullopt},     {u"-", std::nullopt},
                          {u"1.2.3", std::nullopt}, {u"1,234.5", std::nullopt}, {u"abc", std::nullopt},
                          {u"1e3", std::nullopt}, {u"99999999999999999999", std::nullopt}};
    for (const Case &c : cases) {
        const auto parsed = Currency::Parse(QStringView(c.text));
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        ASSERT_EQ(parsed.has_value(), c.units.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->Units(), *c.units);
        }
    }
}

TEST(Currency, ToStringRoundsHalfAwayFromZero)
{
    EXPECT_EQ(Currency::FromUnits(1535).ToString(), QStringLiteral("0.1535"));
    EXPECT_EQ(Currency::FromUnits(1535).ToString(2), QStringLiteral("0.15"));
    EXPECT_EQ(Currency::FromUnits(550).ToString(2), QStringLiteral("0.06"));
    EXPECT_EQ(Currency::FromUnits(-550).ToString(2), QStringLiteral("-0.06"));
    EXPECT_EQ(Currency::FromUnits(-40).ToString(2), QStringLiteral("0.00"));
    EXPECT_EQ(Currency::FromUnits(123456).ToString(0), QStringLiteral("12"));
    EXPECT_EQ(Currency::FromUnits(std::numeric_limits<std::int64_t>::min()).ToString(),
              QStringLiteral("-922337203685477.5808"));
}

} // namespace
} // namespace preisliste
