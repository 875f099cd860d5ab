#include "merge/texthashset.h"

#include <QHashFunctions>

namespace preisliste {

std::uint64_t TextHashSet::HashOf(QByteArrayView text)
{
    // A fixed seed: the same text gives the same hash in every run. The
    // empty slot's 0 is no hash.
    const std::uint64_t hash = qHash(text, 0);
    return hash == 0 ? 1 : hash;
}

std::size_t TextHashSet::SlotOf(std::uint64_t hash) const
{
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = std::size_t(hash) & mask;
    while (slots_[slot] != 0 && slots_[slot] != hash)
        slot = (slot + 1) & mask;
    return slot;
}

void TextHashSet::Grow()
{
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, 0);
    for (const std::uint64_t hash : old) {
        if (hash != 0)
            slots_[SlotOf(hash)] = hash;
    }
}

void TextHashSet::Insert(QByteArrayView text)
{
    if (tooMany_)
        return;
    const std::uint64_t hash = HashOf(text);
    if (!slots_.empty() && slots_[SlotOf(hash)] == hash)
        return; // held already
    if (count_ == kMostTexts) {
        tooMany_ = true;
        count_ = 0;
        slots_ = {};
        return;
    }
    // At most half the slots taken, so that a probe ends soon.
    if (2 * (count_ + 1) > slots_.size())
        Grow();
    slots_[SlotOf(hash)] = hash;
    ++count_;
}

bool TextHashSet::MayContain(QByteArrayView text) const
{
    if (tooMany_)
        return true;
    return count_ > 0 && slots_[SlotOf(HashOf(text))] != 0;
}

} // namespace preisliste
