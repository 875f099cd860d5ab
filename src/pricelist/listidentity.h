#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace preisliste {

// What tells one price list from another: the SHA-256 of its bytes and, for
// a list in server form, the values of its header.
struct PriceListIdentity {
    QString sha256; // lower-case hex; empty when the file cannot be read
    QString listId;
    std::optional<qint32> sequence;
    std::optional<QDateTime> effective;
};

// Reads the file at `path` once for its digest and once more for its header.
// A file that is no price list has a digest and no header values; the import
// says what is wrong with it.
PriceListIdentity IdentifyPriceList(const QString &path);

// True when a list with this "Effective" takes effect only after `now`.
bool TakesEffectLater(const std::optional<QDateTime> &effective, const QDateTime &now);

} // namespace preisliste
