#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <optional>

namespace preisliste {

// True for a text that is a number once the blanks around it are removed: an
// optional sign, digits with at most one decimal point or comma, and an
// optional exponent ("1e3", "2,5E-2"). An empty text is not numeric.
bool IsNumericText(QStringView text);
bool IsNumericText(QByteArrayView utf8);

// Reads the number at the start of a price text the way the price list has
// always been read: blanks are skipped wherever they stand, then an optional
// sign, digits, at most one "." and an optional exponent; reading stops at the
// first character that cannot continue the number. No leading number gives 0.
// Infinity is returned for a number too large for a double.
double ReadLeadingNumber(QStringView text);

// The same reading, but empty when the text holds no digit where the number
// starts: "abc", "-", "€ 5" and the empty text are no number, while "5 €"
// and "-0,5" are.
std::optional<double> TryReadLeadingNumber(QStringView text);

} // namespace preisliste
