#include "common/currency.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace preisliste {

namespace {

[[noreturn]] void ThrowOverflow()
{
    throw std::overflow_error("Überlauf bei einem Währungsbetrag");
}

} // namespace

std::optional<Currency> Currency::TryFromDouble(double euros)
{
    if (!std::isfinite(euros))
        return std::nullopt;
    // The product is taken in double precision, as the original engine did:
    // a decimal half such as 0.00015 then lands exactly on the half and goes
    // to the even neighbour instead of wherever its binary error points.
    const double scaled = euros * double(kUnitsPerEuro);
    const double limit = 9.2e18;
    if (scaled >= limit || scaled <= -limit)
        return std::nullopt;
    // nearbyint rounds in the current mode, which is to nearest, ties to even.
    return Currency(static_cast<std::int64_t>(std::nearbyint(scaled)));
}

Currency Currency::FromDouble(double euros)
{
    if (auto value = TryFromDouble(euros))
        return *value;
    ThrowOverflow();
}

std::optional<Currency> Currency::Parse(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool negative = false;
    qsizetype pos = 0;
    if (text[0] == u'+' || text[0] == u'-') {
        negative = text[0] == u'-';
        ++pos;
    }
    std::int64_t whole = 0;
    std::int64_t fraction = 0; // four decimals
    int fractionDigits = 0;
    bool seenSeparator = false;
    bool seenDigit = false;
    int roundDigit = -1;       // fifth decimal
    bool beyondFifthNonZero = false;
    constexpr std::int64_t kMaxWhole = std::numeric_limits<std::int64_t>::max() / kUnitsPerEuro - 1;
    for (; pos < text.size(); ++pos) {
        const QChar c = text[pos];
        if (c == u'.' || c == u',') {
            if (seenSeparator)
                return std::nullopt;
            seenSeparator = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return std::nullopt;
        seenDigit = true;
        const int digit = c.unicode() - u'0';
        if (!seenSeparator) {
            whole = whole * 10 + digit;
            if (whole > kMaxWhole)
                return std::nullopt;
        } else if (fractionDigits < 4) {
            fraction = fraction * 10 + digit;
            ++fractionDigits;
        } else if (roundDigit < 0) {
            roundDigit = digit;
        } else if (digit != 0) {
            beyondFifthNonZero = true;
        }
    }
    if (!seenDigit)
        return std::nullopt;
    while (fractionDigits < 4) {
        fraction *= 10;
        ++fractionDigits;
    }
    std::int64_t units = whole * kUnitsPerEuro + fraction;
    if (roundDigit > 5 || (roundDigit == 5 && (beyondFifthNonZero || units % 2 != 0)))
        ++units;
    return Currency(negative ? -units : units);
}

QString Currency::ToString(int decimals) const
{
    decimals = std::clamp(decimals, 0, 4);
    std::int64_t divisor = 1;
    for (int i = decimals; i < 4; ++i)
        divisor *= 10;
    const bool negative = units_ < 0;
    // Work on the magnitude as unsigned so the minimum value cannot overflow.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(units_)
                                       : static_cast<std::uint64_t>(units_);
    magnitude = (magnitude + static_cast<std::uint64_t>(divisor) / 2) / static_cast<std::uint64_t>(divisor);
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    QString result = QString::number(magnitude / scale);
    if (decimals > 0)
        result += u'.' + QString::number(magnitude % scale).rightJustified(decimals, u'0');
    if (negative && magnitude != 0)
        result.prepend(u'-');
    return result;
}

Currency operator+(Currency a, Currency b)
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a.units_, b.units_, &sum))
        ThrowOverflow();
    return Currency(sum);
}

Currency operator-(Currency a, Currency b)
{
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a.units_, b.units_, &difference))
        ThrowOverflow();
    return Currency(difference);
}

Currency Currency::operator-() const
{
    return Currency() - *this;
}

} // namespace preisliste
