#pragma once

#include <QString>

namespace preisliste {

class TelvoroSettings;

inline const QString kNoDatabasePathMessage = QStringLiteral("Es konnte kein Datenbankpfad gefunden werden!");
inline const QString kDatabaseFileName = QStringLiteral("Numbers.mdb");

// Where a run finds its database, its price list and its customer.
struct StartupSettings {
    QString databaseFile;
    QString priceListFile;
    QString customerId;
    bool databasePathMissing = false; // the front end shows kNoDatabasePathMessage
};

// Reads "DB Path" and "ProviderAccountUserId" of section "Options". Without a
// "DB Path" the database is looked for in `currentDirectory`; the default
// price list is "preise.csv" there.
StartupSettings LoadSettings(const TelvoroSettings &settings, const QString &currentDirectory);

} // namespace preisliste
