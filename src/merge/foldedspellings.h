#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHashFunctions> // std::hash of QByteArray

#include <optional>
#include <unordered_map>

namespace preisliste {

// The spellings of destination names already folded into tmpMaxPreis, per
// edit flag, each with the highest plain number among the prices folded
// with it. A later row of such a spelling whose price is none, or a number
// no higher, cannot change its name's row there: that row already keeps
// this spelling or a smaller one, and this price or a higher one. Such rows
// need not be folded; a tariff gives one name on many rows.
//
// Only a name as text, a whole-number edit flag and a price that is none or
// a plain number are judged; any other row is to be folded. A bounded
// number of spellings is remembered, as a tariff may have a million names:
// a spelling forgotten is folded once more, which changes nothing.
class FoldedSpellings {
public:
    struct Row {
        std::optional<QByteArrayView> name;  // empty: not text
        std::optional<qint64> editFlag;      // empty: not a whole number
        std::optional<double> price;         // empty: none
        bool priceIsPlainNumber = true;      // false: text or bytes, or a number doubles cannot hold exactly
    };

    // True when the row cannot change its name's row; otherwise false, and
    // the row counts as folded from here on.
    bool Unchanging(const Row &row);

private:
    struct Highest {
        bool priced = false;
        double price = 0.0;
    };
    using Spellings = std::unordered_map<QByteArray, Highest>;
    static constexpr std::size_t kSpellingsRemembered = 4096;

    std::unordered_map<qint64, Spellings> byEditFlag_;
    std::size_t remembered_ = 0;
};

} // namespace preisliste
