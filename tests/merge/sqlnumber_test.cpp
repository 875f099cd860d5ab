#include "merge/sqlnumber.h"

#include "support/testsupport.h"

#include <QLocale>

#include <clocale>

#include <limits>
#include <stdexcept>

namespace preisliste::test {
namespace {

struct CurrencyCase {
    qint64 units;
    const char *text;
};

class SqlNumberOfCurrency : public testing::TestWithParam<CurrencyCase> {};

TEST_P(SqlNumberOfCurrency, IsWrittenWithoutLocale)
{
    EXPECT_EQ(SqlNumber(Currency::FromUnits(GetParam().units)), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Examples, SqlNumberOfCurrency,
                         testing::Values(CurrencyCase{500, " .05"}, CurrencyCase{0, " 0"},
                                         CurrencyCase{10000, " 1"}, CurrencyCase{123400, " 12.34"},
                                         CurrencyCase{1, " .0001"}, CurrencyCase{-5000, "-.5"},
                                         CurrencyCase{-30000, "-3"}, CurrencyCase{29999, " 2.9999"},
                                         CurrencyCase{std::numeric_limits<qint64>::min(),
                                                      "-922337203685477.5808"}));

struct DoubleCase {
    double value;
    const char *text;
};

class SqlNumberOfDouble : public testing::TestWithParam<DoubleCase> {};

TEST_P(SqlNumberOfDouble, HasAtMostFifteenSignificantDigits)
{
    EXPECT_EQ(SqlNumber(GetParam().value), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Examples, SqlNumberOfDouble,
                         testing::Values(DoubleCase{1.1944625, " 1.1944625"}, DoubleCase{0.05, " .05"},
                                         DoubleCase{0.0, " 0"}, DoubleCase{-0.0, " 0"},
                                         DoubleCase{1.0 / 3.0, " .333333333333333"},
                                         DoubleCase{2.0 / 3.0, " .666666666666667"},
                                         DoubleCase{-0.25, "-.25"}, DoubleCase{1.19 * 1.375, " 1.63625"},
                                         DoubleCase{123456789.123456789, " 123456789.123457"},
                                         DoubleCase{1e20, " 100000000000000000000"},
                                         DoubleCase{1.5e-7, " .00000015"}, DoubleCase{42.0, " 42"},
                                         DoubleCase{0.1 + 0.2, " .3"}));

TEST(SqlNumber, IgnoresTheUserLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_ALL, "de_DE.UTF-8"); // may be missing; then the C locale stays
    EXPECT_EQ(SqlNumber(1234.5), QStringLiteral(" 1234.5"));
    EXPECT_EQ(SqlNumber(Currency::FromUnits(12345000)), QStringLiteral(" 1234.5"));
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(saved);
}

TEST(SqlNumber, RefusesWhatIsNoNumber)
{
    EXPECT_THROW(SqlNumber(std::numeric_limits<double>::quiet_NaN()), std::invalid_argument);
    EXPECT_THROW(SqlNumber(std::numeric_limits<double>::infinity()), std::invalid_argument);
}

} // namespace
} // namespace preisliste::test
