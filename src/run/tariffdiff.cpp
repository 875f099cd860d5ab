#include "run/tariffdiff.h"

#include "common/runsinks.h"
#include "db/sqliteconnection.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace preisliste {

namespace {

// A comparison is never stopped; it only reads.
class NeverStop : public ProgressSink {
public:
    bool SetProgress(int, int) override { return false; }
    bool StopRequested() const override { return false; }
};

std::unique_ptr<SqliteConnection> OpenForReading(const QString &path, const QString &what, QString &error)
{
    if (!QFileInfo(path).isFile()) {
        error = QStringLiteral("%1 %2 gibt es nicht.").arg(what, path);
        return nullptr;
    }
    QString reason;
    auto connection = SqliteConnection::Open(path, SQLITE_OPEN_READONLY, 5000, reason);
    if (!connection)
        error = QStringLiteral("%1 %2 kann nicht gelesen werden: %3").arg(what, path, reason);
    return connection;
}

} // namespace

std::optional<ChangeReport> CompareBackupWithDatabase(const QString &backupPath, const QString &databasePath,
                                                      double vat, QIODevice *csv, QString &error)
{
    const auto database = OpenForReading(databasePath, QStringLiteral("Die Datenbank"), error);
    if (!database || !OpenForReading(backupPath, QStringLiteral("Die Sicherung"), error))
        return std::nullopt;
    SqliteStatement attach = database->Prepare(QStringLiteral("ATTACH DATABASE ?1 AS backup"));
    if (attach.Failed()) {
        error = attach.Error();
        return std::nullopt;
    }
    attach.BindString(1, backupPath);
    if (!attach.Run()) {
        error = QStringLiteral("Die Sicherung %1 kann nicht gelesen werden: %2").arg(backupPath, attach.Error());
        return std::nullopt;
    }
    const ReportSources sources{.before = {database.get(), QStringLiteral("backup.Numbers"), false},
                                .after = {database.get(), QStringLiteral("main.Numbers"), false},
                                .skippedLines = {},
                                .vat = vat};
    NeverStop neverStop;
    QString reason;
    std::optional<ChangeReport> report = CompareTariffs(sources, csv, neverStop, reason);
    if (!report)
        error = QStringLiteral("Der Vergleich mit der Sicherung %1 ist fehlgeschlagen: %2").arg(backupPath, reason);
    return report;
}

} // namespace preisliste
