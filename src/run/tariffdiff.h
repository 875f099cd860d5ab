#pragma once

#include "report/changereport.h"

#include <QString>

#include <optional>

class QIODevice;

namespace preisliste {

// The change report between a backup and the tariff database as it is now,
// whoever changed it in between (an update, Telvoro, a person). Both files
// are only read. The whole report goes to `csv` when given. Empty after an
// error, with a German `error`.
std::optional<ChangeReport> CompareBackupWithDatabase(const QString &backupPath, const QString &databasePath,
                                                      double vat, QIODevice *csv, QString &error);

} // namespace preisliste
