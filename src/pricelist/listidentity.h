#pragma once

#include "common/workerthread.h"

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

// Reads the file at `path` once for its digest, unless `withDigest` is
// false, and once more for its header. A file that is no price list has a
// digest and no header values; the import says what is wrong with it.
PriceListIdentity IdentifyPriceList(const QString &path, bool withDigest = true);

// The SHA-256 of the file at `path` in lower-case hex, computed on a thread
// of its own from construction on, beside whatever the caller does: a
// million-line list takes a fifth of a second. Empty when the file cannot
// be read.
class FileDigestAside {
public:
    explicit FileDigestAside(const QString &path);
    // Waits for the digest.
    QString Result();

private:
    QString path_;
    QString digest_;
    WorkerThread worker_; // last: it starts at once and uses the members above
};

// True when a list with this "Effective" takes effect only after `now`.
bool TakesEffectLater(const std::optional<QDateTime> &effective, const QDateTime &now);

} // namespace preisliste
