#include "report/tariffsnapshot.h"

#include <sqlite3.h>

namespace preisliste {

namespace {

// Stored in the order of the prefixes, so the report's walk reads it as it
// lies.
constexpr char kCopyStatement[] = "CREATE TEMP TABLE TariffBefore AS SELECT Number, Name, Price_EUR, Rate_EK "
                                  "FROM main.Numbers ORDER BY Number, rowid";

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
    handle_ = OpenSqliteFile(databasePath, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, busyTimeoutMs, error_);
    if (handle_)
        worker_ = std::thread(&TariffSnapshot::Copy, this);
}

void TariffSnapshot::Copy()
{
    char *message = nullptr;
    // A cache of its own keeps the copy of a usual tariff in memory; a very
    // large one spills to a temporary file rather than growing without bound.
    ok_ = sqlite3_exec(handle_.get(), "PRAGMA temp.cache_size = -32768", nullptr, nullptr, &message) == SQLITE_OK
          && sqlite3_exec(handle_.get(), kCopyStatement, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok_)
        error_ = QStringLiteral("Der Stand vor dem Update kann nicht gelesen werden: ")
                 + QString::fromUtf8(message ? message : "unbekannter Fehler");
    sqlite3_free(message);
}

bool TariffSnapshot::Wait()
{
    if (worker_.joinable())
        worker_.join();
    return handle_ && ok_;
}

void TariffSnapshot::Cancel()
{
    if (handle_)
        sqlite3_interrupt(handle_.get());
}

TariffState TariffSnapshot::State() const
{
    return {handle_.get(), QStringLiteral("temp.TariffBefore"), true};
}

} // namespace preisliste
