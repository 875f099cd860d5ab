#pragma once

#include <QString>

namespace preisliste {

// How a list compares with the one the last committed update of a database
// applied (see LastAppliedList).
enum class ListNews {
    New,        // another list, or none applied yet
    AppliedLast,
    Unknown,    // the history cannot be read; `error` says why
};

// The list the server offers, by List-ID and List-Sequence: the same only
// when it was applied from that same server.
ListNews CompareWithLastApplied(const QString &databasePath, const QString &listId, qint32 sequence,
                                      QString &error);

// A list by its SHA-256, from whatever source the last one came.
ListNews CompareFileWithLastApplied(const QString &databasePath, const QString &sha256, QString &error);

} // namespace preisliste
