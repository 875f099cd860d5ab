#pragma once

#include "db/sqliteconnection.h"
#include "report/changereport.h"

#include <QString>

#include <thread>

namespace preisliste {

// The tariff as it is when an update begins, for the report: copied into a
// temporary table, sorted by prefix, by a read-only connection of its own on
// a thread of its own, while the update's stages go on. Started once the
// update holds its write lock, the copy sees exactly the tariff the update
// starts from (no other program can commit in between, and the update's own
// changes stay in its cache until its commit). The copy holds a read lock
// only while it reads, at the start of the run.
class TariffSnapshot {
public:
    TariffSnapshot() = default;
    ~TariffSnapshot();
    TariffSnapshot(const TariffSnapshot &) = delete;
    TariffSnapshot &operator=(const TariffSnapshot &) = delete;

    void Start(const QString &databasePath, int busyTimeoutMs);
    // Waits for the copy. False with Error() set when it failed.
    bool Wait();
    // Asks a copy under way to give up (the run was stopped or failed).
    void Cancel();

    // The copy, once Wait() returned true.
    TariffState State() const;
    const QString &Error() const { return error_; }

private:
    void Copy();

    std::unique_ptr<SqliteConnection> connection_;
    std::thread worker_;
    QString error_;
    bool ok_ = false;
};

} // namespace preisliste
