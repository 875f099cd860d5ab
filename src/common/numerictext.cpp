#include "common/numerictext.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace preisliste {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

char16_t CodeAt(QStringView text, qsizetype i) { return text[i].unicode(); }
char16_t CodeAt(QByteArrayView text, qsizetype i) { return static_cast<unsigned char>(text[i]); }

template <typename Text>
bool IsNumericImpl(const Text &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(CodeAt(text, begin)))
        ++begin;
    while (end > begin && IsBlank(CodeAt(text, end - 1)))
        --end;
    qsizetype pos = begin;
    auto at = [&](qsizetype i) { return CodeAt(text, i); };
    if (pos < end && (at(pos) == u'+' || at(pos) == u'-'))
        ++pos;
    bool digits = false;
    bool separator = false;
    for (; pos < end; ++pos) {
        const char16_t c = at(pos);
        if (IsDigit(c)) {
            digits = true;
        } else if ((c == u'.' || c == u',') && !separator) {
            separator = true;
        } else {
            break;
        }
    }
    if (!digits)
        return false;
    if (pos < end && (at(pos) == u'e' || at(pos) == u'E')) {
        ++pos;
        if (pos < end && (at(pos) == u'+' || at(pos) == u'-'))
            ++pos;
        bool exponentDigits = false;
        while (pos < end && IsDigit(at(pos))) {
            exponentDigits = true;
            ++pos;
        }
        if (!exponentDigits)
            return false;
    }
    return pos == end;
}

} // namespace

bool IsNumericText(QStringView text)
{
    return IsNumericImpl(text);
}

bool IsNumericText(QByteArrayView utf8)
{
    // Bytes of multi-byte UTF-8 sequences are never digits, signs or
    // separators, so the byte-wise test answers the same as the text one.
    return IsNumericImpl(utf8);
}

double ReadLeadingNumber(QStringView text)
{
    return TryReadLeadingNumber(text).value_or(0.0);
}

std::optional<double> TryReadLeadingNumber(QStringView text)
{
    std::string number;
    number.reserve(static_cast<std::size_t>(text.size()));
    enum class Part { Sign, Mantissa, ExponentSign, Exponent } part = Part::Sign;
    bool seenPoint = false;
    bool mantissaDigits = false;
    std::size_t beforeExponent = 0;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (IsBlank(c))
            continue;
        if (part == Part::Sign && (c == u'+' || c == u'-')) {
            number += char(c);
            part = Part::Mantissa;
        } else if ((part == Part::Sign || part == Part::Mantissa) && IsDigit(c)) {
            number += char(c);
            mantissaDigits = true;
            part = Part::Mantissa;
        } else if ((part == Part::Sign || part == Part::Mantissa) && c == u'.' && !seenPoint) {
            number += '.';
            seenPoint = true;
            part = Part::Mantissa;
        } else if (part == Part::Mantissa && mantissaDigits && (c == u'e' || c == u'E')) {
            beforeExponent = number.size();
            number += 'e';
            part = Part::ExponentSign;
        } else if (part == Part::ExponentSign && (c == u'+' || c == u'-')) {
            number += char(c);
            part = Part::Exponent;
        } else if ((part == Part::ExponentSign || part == Part::Exponent) && IsDigit(c)) {
            number += char(c);
            part = Part::Exponent;
        } else {
            break;
        }
    }
    if (!mantissaDigits)
        return std::nullopt;
    // An exponent mark without digits does not belong to the number.
    if (beforeExponent > 0 && !IsDigit(static_cast<unsigned char>(number.back())))
        number.resize(beforeExponent);
    const char *first = number.data();
    if (*first == '+')
        ++first; // from_chars takes no plus sign
    double value = 0.0;
    const auto [ptr, error] = std::from_chars(first, number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too large gives infinity, too small gives zero, with the sign kept.
        const bool negative = *first == '-';
        const bool tiny = number.find("e-") != std::string::npos;
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    if (error != std::errc())
        return std::nullopt;
    return value;
}

} // namespace preisliste
