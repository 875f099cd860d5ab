#pragma once

#include <QString>

#include <memory>

struct sqlite3;

namespace preisliste {

struct SqliteCloser {
    void operator()(sqlite3 *handle) const;
};
// A connection of its own to an SQLite file, closed when it goes away: for
// copies, backups and comparisons beside the run's connection.
using SqliteHandlePtr = std::unique_ptr<sqlite3, SqliteCloser>;

// Opens `path` with the engine's open flags and waits up to `busyTimeoutMs`
// for locks. Empty on failure, with the engine's reason in `error`.
SqliteHandlePtr OpenSqliteFile(const QString &path, int flags, int busyTimeoutMs, QString &error);

} // namespace preisliste
