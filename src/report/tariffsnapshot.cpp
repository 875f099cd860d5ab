#include "report/tariffsnapshot.h"

#include <sqlite3.h>

namespace preisliste {

namespace {

// Stored in the order of the prefixes, so the report's walk reads it as it
// lies.
const QString kCopyStatement = QStringLiteral("CREATE TEMP TABLE TariffBefore AS SELECT Number, Name, Price_EUR, Rate_EK "
                                  "FROM main.Numbers ORDER BY Number, rowid");

} // namespace

TariffSnapshot::~TariffSnapshot()
{
    Cancel();
    if (worker_.joinable())
        worker_.join();
}

void TariffSnapshot::Start(const QString &databasePath, int busyTimeoutMs)
{
    // The connection is opened here, so that Cancel() always has it.
    connection_ =
        SqliteConnection::Open(databasePath, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, busyTimeoutMs, error_);
    if (connection_)
        worker_ = std::thread(&TariffSnapshot::Copy, this);
}

void TariffSnapshot::Copy()
{
    // A cache of its own keeps the copy of a usual tariff in memory; a very
    // large one spills to a temporary file rather than growing without bound.
    ok_ = connection_->Exec(QStringLiteral("PRAGMA temp.cache_size = -32768")) && connection_->Exec(kCopyStatement);
    if (!ok_)
        error_ = QStringLiteral("Der Stand vor dem Update kann nicht gelesen werden: ") + connection_->Error();
}

bool TariffSnapshot::Wait()
{
    if (worker_.joinable())
        worker_.join();
    return connection_ && ok_;
}

void TariffSnapshot::Cancel()
{
    if (connection_)
        connection_->Interrupt();
}

TariffState TariffSnapshot::State() const
{
    return {connection_.get(), QStringLiteral("temp.TariffBefore"), true};
}

} // namespace preisliste
