#include "common/localeformat.h"

#include <cmath>

namespace preisliste {

namespace {

const QString kEuro = QStringLiteral("€");

QString WithoutCurrencySymbol(QString text, const QLocale &locale)
{
    text.replace(QChar(0x00A0), u' ');
    const QString symbol = locale.currencySymbol();
    if (!symbol.isEmpty())
        text.remove(symbol);
    text.remove(kEuro);
    return text.trimmed();
}

// "0.125" in a locale that groups with "." would read as 125. No number
// writes a group after a lone leading zero, so such a point is a decimal
// point typed out of habit: reading it as one keeps 0.125 from becoming 125.
bool HasLeadingZeroGroup(const QString &text, const QLocale &locale)
{
    QStringView digits(text);
    if (digits.startsWith(u'-') || digits.startsWith(u'+') || digits.startsWith(locale.negativeSign()))
        digits = digits.mid(1);
    return digits.startsWith(QString(u'0') + locale.groupSeparator());
}

// A number text in `locale` as plain digits with a point, or nothing.
std::optional<QString> NormalizedNumber(const QString &text, const QLocale &locale)
{
    if (HasLeadingZeroGroup(text, locale))
        return std::nullopt;
    bool ok = false;
    locale.toDouble(text, &ok); // validates grouping and separators
    if (!ok)
        return std::nullopt;
    QString plain = text;
    plain.remove(locale.groupSeparator());
    plain.replace(locale.decimalPoint(), QStringLiteral("."));
    plain.replace(locale.negativeSign(), QStringLiteral("-"));
    plain.replace(locale.positiveSign(), QStringLiteral("+"));
    return plain;
}

} // namespace

QLocale UserLocale()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::German, QLocale::Germany);
    return system;
}

std::optional<double> ParsePercent(const QString &text, const QLocale &locale)
{
    QString number = text.trimmed();
    if (number.endsWith(u'%'))
        number.chop(1);
    number = number.trimmed();
    if (number.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = HasLeadingZeroGroup(number, locale) ? 0.0 : locale.toDouble(number, &ok);
    if (!ok)
        value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value / 100.0;
}

std::optional<Currency> ParseCurrency(const QString &text, const QLocale &locale)
{
    const QString number = WithoutCurrencySymbol(text, locale);
    if (number.isEmpty() || number.contains(u'%'))
        return std::nullopt;
    if (const auto plain = NormalizedNumber(number, locale))
        return Currency::Parse(*plain);
    return Currency::Parse(number); // plain digits with a point or a comma
}

int CurrencyDecimals(const QLocale &locale)
{
    // The locale's own currency format of zero, without a precision of ours.
    const QString zero = locale.toCurrencyString(0.0, kEuro);
    const qsizetype point = zero.indexOf(locale.decimalPoint());
    if (point < 0)
        return 0;
    int decimals = 0;
    for (qsizetype i = point + locale.decimalPoint().size(); i < zero.size() && zero.at(i).isDigit(); ++i)
        ++decimals;
    return decimals;
}

QString FormatPercent(double fraction, const QLocale &locale, int decimals)
{
    return locale.toString(fraction * 100.0, 'f', decimals) + u'%';
}

// The amount's digits in `locale`, exactly: grouped whole part, the
// locale's decimal separator, `decimals` digits (rounded half away from 0).
QString LocaleDigits(Currency magnitude, const QLocale &locale, int decimals)
{
    const QString plain = magnitude.ToString(decimals);
    const qsizetype point = plain.indexOf(u'.');
    QString digits = locale.toString(plain.left(point < 0 ? plain.size() : point).toLongLong());
    if (point >= 0)
        digits += locale.decimalPoint() + plain.mid(point + 1);
    return digits;
}

QString FormatCurrency(Currency amount, const QLocale &locale, int decimals)
{
    // The locale's currency pattern, shown for zero, with the exact digits
    // put in: a detour through double would lose cents of large amounts.
    const QString zero = locale.toString(0.0, 'f', decimals);
    QString text = locale.toCurrencyString(0.0, kEuro, decimals);
    const bool negative = amount < Currency() && amount.ToString(decimals).startsWith(u'-');
    text.replace(zero, LocaleDigits(negative ? -amount : amount, locale, decimals));
    text.replace(QChar(0x00A0), u' ');
    return negative ? locale.negativeSign() + text : text;
}

QString FormatRoundUp(Currency amount, const QLocale &locale)
{
    // Two decimals at least, four at most, no trailing zeros beyond two.
    QString plain = amount.ToString(4);
    while (plain.endsWith(u'0') && plain.size() - plain.indexOf(u'.') > 3)
        plain.chop(1);
    const qsizetype point = plain.indexOf(u'.');
    QString whole = plain.left(point);
    const bool negative = whole.startsWith(u'-');
    if (negative)
        whole.remove(0, 1);
    return (negative ? locale.negativeSign() : QString()) + locale.toString(whole.toLongLong())
           + locale.decimalPoint() + plain.mid(point + 1);
}

} // namespace preisliste
