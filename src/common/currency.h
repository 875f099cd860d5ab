#pragma once

#include <QString>
#include <QStringView>

#include <compare>
#include <cstdint>
#include <optional>

namespace preisliste {

// A money amount in 1/10000 euro, the unit of every price per minute.
// Sums, differences and comparisons are exact; an operation whose result does
// not fit throws std::overflow_error, which the stages report as "Fehler: ".
class Currency {
public:
    static constexpr std::int64_t kUnitsPerEuro = 10000;

    constexpr Currency() = default;
    static constexpr Currency FromUnits(std::int64_t units) { return Currency(units); }

    // Rounds to the nearest 1/10000, ties to even. Throws std::overflow_error
    // for NaN, infinity or a value outside the range.
    static Currency FromDouble(double euros);
    static std::optional<Currency> TryFromDouble(double euros);

    // Reads "0.05", "-1,2345", "+3", ".5": a decimal point or comma, no
    // grouping, no symbol. More than four decimals are rounded, ties to even.
    static std::optional<Currency> Parse(QStringView text);

    constexpr std::int64_t Units() const { return units_; }
    double ToDouble() const { return static_cast<double>(units_) / kUnitsPerEuro; }

    // Plain text with a point and exactly `decimals` (0..4) decimals, rounded
    // half away from zero when fewer than four are asked for.
    QString ToString(int decimals = 4) const;

    friend constexpr auto operator<=>(Currency, Currency) = default;
    friend constexpr bool operator==(Currency, Currency) = default;

    friend Currency operator+(Currency a, Currency b);
    friend Currency operator-(Currency a, Currency b);
    Currency operator-() const;
    Currency& operator+=(Currency other) { return *this = *this + other; }
    Currency& operator-=(Currency other) { return *this = *this - other; }

    // Drops the fraction of a cent, toward zero: 0.2535 -> 0.25, -0.2535 -> -0.25.
    constexpr Currency TruncatedToCents() const { return Currency(units_ / 100 * 100); }

private:
    constexpr explicit Currency(std::int64_t units) : units_(units) {}
    std::int64_t units_ = 0;
};

} // namespace preisliste
