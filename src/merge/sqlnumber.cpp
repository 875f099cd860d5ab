#include "merge/sqlnumber.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace preisliste {

namespace {

QChar SignOf(bool negative)
{
    return negative ? u'-' : u' ';
}

// Places the point into the significant digits `digits` (no trailing zeros)
// of a number whose first digit stands for 10^exponent.
QString PlaceDecimalPoint(const std::string &digits, int exponent)
{
    const int wholeDigits = exponent + 1;
    const int count = int(digits.size());
    if (wholeDigits >= count)
        return QString::fromLatin1(digits) + QString(wholeDigits - count, u'0');
    if (wholeDigits <= 0)
        return u'.' + QString(-wholeDigits, u'0') + QString::fromLatin1(digits);
    return QString::fromLatin1(digits.substr(0, size_t(wholeDigits))) + u'.'
           + QString::fromLatin1(digits.substr(size_t(wholeDigits)));
}

} // namespace

QString SqlNumber(Currency value)
{
    const std::int64_t units = value.Units();
    const bool negative = units < 0;
    // Unsigned, so that the most negative amount has a magnitude too.
    const std::uint64_t magnitude = negative ? 0 - std::uint64_t(units) : std::uint64_t(units);
    const std::uint64_t whole = magnitude / Currency::kUnitsPerEuro;
    const std::uint64_t fraction = magnitude % Currency::kUnitsPerEuro;

    QString text(SignOf(negative));
    if (whole != 0 || fraction == 0)
        text += QString::number(whole);
    if (fraction != 0) {
        QString decimals = QString::number(fraction).rightJustified(4, u'0');
        while (decimals.endsWith(u'0'))
            decimals.chop(1);
        text += u'.' + decimals;
    }
    return text;
}

QString SqlNumber(double value)
{
    if (!std::isfinite(value))
        throw std::invalid_argument("Keine endliche Zahl für eine SQL-Anweisung");
    if (value == 0.0) // also -0.0
        return QStringLiteral(" 0");

    // Scientific form with 15 significant digits: d.dddddddddddddde±x.
    // to_chars is independent of the C locale that Qt sets from the user's.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, 14);
    const std::string scientific(buffer, result.ptr);
    const size_t exponentAt = scientific.find('e');
    std::string digits = scientific.substr(0, 1) + scientific.substr(2, exponentAt - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::stoi(scientific.substr(exponentAt + 1));
    return SignOf(value < 0) + PlaceDecimalPoint(digits, exponent);
}

} // namespace preisliste
