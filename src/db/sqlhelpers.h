#pragma once

#include <QString>

struct sqlite3;

namespace preisliste {

class SqliteConnection;

// The engine's description of an error, for "Fehler: " messages, led by a
// German sentence where the cause is one the operator can act on (a full
// disk, a lock held by another program, a failing drive).
// Every description is German; the engine's English text follows in
// parentheses for whoever gives support.
QString DescribeSqliteError(sqlite3 *handle);
QString DescribeSqliteCode(int sqliteCode, const QString &engineText);

// One transaction on the tariff database. Begin() takes the write lock at
// once (BEGIN IMMEDIATE), so a run learns at its start, not halfway through,
// that another program is writing. Whatever is not committed is rolled back
// when the object goes away.
class SqlTransaction {
public:
    explicit SqlTransaction(SqliteConnection &connection) : connection_(connection) {}
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction &) = delete;
    SqlTransaction &operator=(const SqlTransaction &) = delete;

    bool Begin();
    bool Commit();
    void Rollback();
    bool IsActive() const { return active_; }

    // Why the last Begin() or Commit() failed, in German.
    const QString &Error() const { return error_; }

private:
    bool Execute(const QString &statement);

    SqliteConnection &connection_;
    bool active_ = false;
    QString error_;
};

} // namespace preisliste
