#pragma once

#include "common/currency.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace preisliste {

// The locale numbers, amounts and dates are read and shown in: the user's,
// except that C and POSIX (common on servers) mean German, the language of
// the interface.
QLocale UserLocale();

// "60", "60%", "60,0%" -> 0.6; "0,6" -> 0.006. Blanks around are ignored. The
// number is read in `locale`; a number the locale does not take is tried
// with a decimal point ("60.5%"); a point after a lone leading zero is always
// a decimal point ("0.125%"), never digit grouping. Nothing for an empty
// text, letters or "%".
std::optional<double> ParsePercent(const QString &text, const QLocale &locale);

// "0,05 €", "0,05", "0.05", "1.234,56 €" -> amounts, exactly (no detour
// through floating point); more than four decimals are rounded. The currency
// symbol may stand before or after the number. "0.125" is 0.125 even where
// "." groups digits (a group never follows a lone zero). A percent sign is
// refused.
std::optional<Currency> ParseCurrency(const QString &text, const QLocale &locale);

// How many decimals the locale shows amounts of money with (2 in German).
int CurrencyDecimals(const QLocale &locale);

// 0.6 -> "60,0%" (one decimal, the locale's separator).
QString FormatPercent(double fraction, const QLocale &locale, int decimals = 1);
// 0.05 -> "0,05 €": the locale's currency format with `decimals` decimals.
QString FormatCurrency(Currency amount, const QLocale &locale, int decimals = 2);
// The round-up threshold with two to four decimals: 0.002 -> "0,002".
QString FormatRoundUp(Currency amount, const QLocale &locale);

} // namespace preisliste
