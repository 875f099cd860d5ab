#include "merge/foldedspellings.h"

namespace preisliste {

bool FoldedSpellings::Unchanging(const Row &row)
{
    if (!row.name || !row.editFlag || !row.priceIsPlainNumber)
        return false;
    Spellings &spellings = byEditFlag_[*row.editFlag];
    // Looked up without a copy of the name.
    const auto seen = spellings.find(QByteArray::fromRawData(row.name->data(), row.name->size()));
    if (seen != spellings.end()) {
        Highest &highest = seen->second;
        if (!row.price || (highest.priced && *row.price <= highest.price))
            return true;
        highest = {true, *row.price};
        return false;
    }
    if (remembered_ >= kSpellingsRemembered) {
        for (auto &[flag, names] : byEditFlag_)
            names.clear();
        remembered_ = 0;
    }
    spellings.emplace(row.name->toByteArray(), Highest{row.price.has_value(), row.price.value_or(0.0)});
    ++remembered_;
    return false;
}

} // namespace preisliste
