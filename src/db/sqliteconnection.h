#pragma once

#include "db/sqlitestatement.h"

#include <QString>

#include <memory>

struct sqlite3;

namespace preisliste {

class ProgressSink;

// One connection to an SQLite file, closed when it goes away. Every stage,
// the backup, the report and the comparison of two tariffs work through it
// and through SqliteStatement; nothing else talks to the engine.
class SqliteConnection {
public:
    // Opens `path` with the engine's open flags (SQLITE_OPEN_*) and waits up
    // to `busyTimeoutMs` for another program's lock. Empty on failure, with
    // the reason (DescribeSqliteCode) in `error`.
    static std::unique_ptr<SqliteConnection> Open(const QString &path, int flags, int busyTimeoutMs,
                                                  QString &error);

    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    // The path as given to Open().
    const QString &Path() const { return path_; }
    sqlite3 *Handle() const { return handle_; }

    // Runs one or more statements that return no rows. False on an error,
    // which Error() then describes.
    bool Exec(const QString &sql);
    // A prepared statement; Failed() tells whether the engine accepted it.
    SqliteStatement Prepare(const QString &sql) const;
    // The engine's last error, described as DescribeSqliteError() does.
    QString Error() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    qint64 Changes() const;
    bool InTransaction() const;
    bool IsReadOnly() const;

    // Registers the functions IsNumeric and CaseKey.
    bool RegisterExtensions();
    // Makes a statement under way give up once `stop` reports a stop request
    // (checked every few thousand engine instructions); null stops checking.
    void InterruptOnStop(const ProgressSink *stop);
    // Makes a statement under way give up now; safe from another thread.
    void Interrupt();
    // Copies every page of this database into `destination` in one step,
    // which holds this one's read lock and the destination's write lock
    // throughout. False with the reason in `error`.
    bool CopyInto(SqliteConnection &destination, QString &error);
    // Copies this database's file byte for byte into `target` (replacing
    // what is there) and syncs it, under a read lock. It reads through the
    // file the engine has open: opening and closing another descriptor of
    // the database would drop every lock this process holds on it (the
    // run's write lock among them). A database that keeps committed pages
    // in a write-ahead log beside its file is not copied (the file alone is
    // not the whole database): HasWriteAheadLog. Failed with the reason in
    // `error`; `target` is left to the caller either way.
    enum class FileCopy { Copied, HasWriteAheadLog, Failed };
    FileCopy CopyFileTo(const QString &target, QString &error);

private:
    SqliteConnection(sqlite3 *handle, QString path) : handle_(handle), path_(std::move(path)) {}

    sqlite3 *handle_;
    QString path_;
};

// Lets "Stopp" give up the statement under way for as long as it lives.
class StopInterruptsStatements {
public:
    StopInterruptsStatements(SqliteConnection &connection, const ProgressSink &stop) : connection_(connection)
    {
        connection_.InterruptOnStop(&stop);
    }
    ~StopInterruptsStatements() { connection_.InterruptOnStop(nullptr); }
    StopInterruptsStatements(const StopInterruptsStatements &) = delete;
    StopInterruptsStatements &operator=(const StopInterruptsStatements &) = delete;

private:
    SqliteConnection &connection_;
};

} // namespace preisliste
