#pragma once

#include "db/sqliteconnection.h"

#include <QString>

#include <memory>

namespace preisliste {

inline constexpr int kDefaultBusyTimeoutMs = 5000;

// Opens the existing tariff database read-write; never creates a file. Other
// programs may have the file open at the same time; a lock held by one of
// them is waited for up to `busyTimeoutMs`. The connection has the
// collation and IsNumeric registered and keeps a run's changes in its page
// cache. On failure the result is empty and `error` reads "Datenbank <path>
// konnte nicht geöffnet werden!" with a second line that says why (no such
// file, no database, no table Numbers, write-protected, folder not
// writable, locked).
std::unique_ptr<SqliteConnection> OpenTariffDatabase(const QString &path, QString &error,
                                                     int busyTimeoutMs = kDefaultBusyTimeoutMs);

// Creates a new, empty tariff database. Refuses to touch an existing file.
// Returns an empty text on success, else a German description of the failure.
QString CreateTariffDatabase(const QString &path);

// The create statement of the tariff table.
inline const QString kCreateNumbersStatement = QStringLiteral(
    "CREATE TABLE Numbers (Number VARCHAR(255), Name VARCHAR(255), Price_EUR CURRENCY, "
    "Rate_EK CURRENCY, GraceTime INTEGER, Profile VARCHAR(255), IsEdited BIT NOT NULL DEFAULT 0)");

} // namespace preisliste
