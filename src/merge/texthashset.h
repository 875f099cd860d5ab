#pragma once

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace preisliste {

// A set of texts kept as 64-bit hashes in one open-addressed table: 16 to
// 32 bytes per text, whatever its length. It never answers no for a text
// added, but may answer yes for one never added when two texts share a hash
// (about once in 2^64 divided by the size). Beyond kMostTexts texts it
// keeps none and answers yes to every text, so that its memory stays under
// 12 MB whatever the list. It serves only where a yes lets a row through to
// a statement's own exact comparison.
class TextHashSet {
public:
    static constexpr std::size_t kMostTexts = std::size_t(1) << 19;

    void Insert(QByteArrayView text);
    bool MayContain(QByteArrayView text) const;
    // How many different texts it holds; none once it holds too many.
    std::size_t Size() const { return count_; }
    bool HoldsTooMany() const { return tooMany_; }

private:
    static std::uint64_t HashOf(QByteArrayView text);
    // The slot that holds `hash`, or the empty one where it would go.
    std::size_t SlotOf(std::uint64_t hash) const;
    void Grow();

    std::vector<std::uint64_t> slots_; // 0: empty; a size that is a power of two
    std::size_t count_ = 0;
    bool tooMany_ = false;
};

} // namespace preisliste
