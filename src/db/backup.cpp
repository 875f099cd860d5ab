#include "db/backup.h"

#include "db/sqlitefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>

namespace preisliste {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");

// Copies every page of `source` into `destination` in one step, which holds
// the source's read lock and the destination's write lock throughout.
bool CopyDatabase(sqlite3 *source, sqlite3 *destination, QString &error)
{
    sqlite3_backup *backup = sqlite3_backup_init(destination, "main", source, "main");
    if (!backup) {
        error = QString::fromUtf8(sqlite3_errmsg(destination));
        return false;
    }
    const int stepResult = sqlite3_backup_step(backup, -1);
    const int finishResult = sqlite3_backup_finish(backup);
    if (stepResult != SQLITE_DONE || finishResult != SQLITE_OK) {
        error = QString::fromUtf8(sqlite3_errstr(stepResult != SQLITE_DONE ? stepResult : finishResult));
        return false;
    }
    return true;
}

QString BaseName(const QString &databasePath)
{
    return QFileInfo(databasePath).completeBaseName();
}

QString Suffix(const QString &databasePath)
{
    const QString suffix = QFileInfo(databasePath).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix;
}

// Orders backups by their time stamp, then by the counter that tells apart
// backups taken within the same second ("...-05-2.mdb" after "...-05.mdb").
std::pair<QString, int> BackupOrderKey(const QString &databasePath, const QString &fileName)
{
    const QString rest = QFileInfo(fileName).completeBaseName().mid(BaseName(databasePath).size() + 1);
    const QString stamp = rest.left(kTimeFormat.size());
    const int counter = rest.size() > stamp.size() ? rest.mid(stamp.size() + 1).toInt() : 1;
    return {stamp, counter};
}

// The backups of the database in its folder, newest first.
QStringList BackupFiles(const QString &databasePath)
{
    const QDir folder(BackupFolder(databasePath));
    QStringList names = folder.entryList({BaseName(databasePath) + QStringLiteral("-????-??-??_??-??-??*")
                                          + Suffix(databasePath)},
                                         QDir::Files);
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return BackupOrderKey(databasePath, a) > BackupOrderKey(databasePath, b);
    });
    for (QString &name : names)
        name = folder.filePath(name);
    return names;
}

QString NewBackupPath(const QString &databasePath)
{
    const QString stamp = QDateTime::currentDateTime().toString(kTimeFormat);
    // Within one second the counter goes on from the highest one there, so
    // a name freed by removing an old backup is never taken again.
    int counter = 0;
    for (const QString &file : BackupFiles(databasePath)) {
        const auto [fileStamp, fileCounter] = BackupOrderKey(databasePath, file);
        if (fileStamp == stamp)
            counter = std::max(counter, fileCounter);
    }
    const QString stem = QDir(BackupFolder(databasePath)).filePath(BaseName(databasePath) + u'-' + stamp);
    return stem + (counter == 0 ? QString() : QStringLiteral("-%1").arg(counter + 1)) + Suffix(databasePath);
}

void RemoveOldBackups(const QString &databasePath)
{
    const QStringList files = BackupFiles(databasePath);
    for (qsizetype i = kBackupsKept; i < files.size(); ++i) {
        QFile::remove(files.at(i));
        QFile::remove(ReportPathOfBackup(files.at(i)));
    }
}

qint64 CountTariffRows(const QString &path)
{
    QString error;
    const SqliteHandlePtr handle = OpenSqliteFile(path, SQLITE_OPEN_READONLY, 1000, error);
    sqlite3_stmt *statement = nullptr;
    qint64 rows = -1;
    if (handle && sqlite3_prepare_v2(handle.get(), "SELECT count(*) FROM Numbers", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        rows = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return rows;
}

BackupResult Failure(const QString &text)
{
    return BackupResult{false, {}, text};
}

} // namespace

QString BackupFolder(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

BackupResult BackupTariffDatabase(const QString &databasePath, int busyTimeoutMs)
{
    PendingBackup backup;
    if (!backup.Take(databasePath, busyTimeoutMs) || !backup.Name())
        return Failure(backup.Error());
    backup.Confirm();
    return BackupResult{true, backup.Path(), {}};
}

PendingBackup::~PendingBackup()
{
    Discard();
}

bool PendingBackup::Take(const QString &databasePath, int busyTimeoutMs)
{
    Discard();
    databasePath_ = databasePath;
    if (!QFileInfo(databasePath).isFile())
        return Fail(QStringLiteral("die Datei existiert nicht"));
    createdFolder_ = !QFileInfo::exists(BackupFolder(databasePath));
    if (!QDir().mkpath(BackupFolder(databasePath)))
        return Fail(QStringLiteral("der Ordner %1 kann nicht angelegt werden").arg(BackupFolder(databasePath)));
    QString error;
    targetPath_ = NewBackupPath(databasePath);
    const QString partial = targetPath_ + QStringLiteral(".partial");
    bool copied = false;
    {
        const SqliteHandlePtr source = OpenSqliteFile(databasePath, SQLITE_OPEN_READONLY, busyTimeoutMs, error);
        const SqliteHandlePtr destination =
            source ? OpenSqliteFile(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyTimeoutMs, error) : nullptr;
        copied = destination && CopyDatabase(source.get(), destination.get(), error);
    }
    currentPath_ = partial;
    if (!copied) {
        Discard();
        return Fail(error);
    }
    return true;
}

bool PendingBackup::Name()
{
    if (!IsTaken())
        return false;
    if (currentPath_ == targetPath_)
        return true;
    if (!QFile::rename(currentPath_, targetPath_)) {
        Discard();
        return Fail(QStringLiteral("die Datei %1 kann nicht angelegt werden").arg(targetPath_));
    }
    currentPath_ = targetPath_;
    return true;
}

void PendingBackup::Confirm()
{
    if (currentPath_ != targetPath_)
        return;
    currentPath_.clear();
    createdFolder_ = false;
    RemoveOldBackups(databasePath_);
}

void PendingBackup::Discard()
{
    if (!IsTaken())
        return;
    QFile::remove(currentPath_);
    currentPath_.clear();
    // A folder made for this backup alone goes with it.
    if (createdFolder_)
        QDir().rmdir(BackupFolder(databasePath_));
}

bool PendingBackup::Fail(const QString &reason)
{
    error_ = QStringLiteral("Die Sicherung der Datenbank %1 ist fehlgeschlagen: %2. Es wurde nichts verändert.")
                 .arg(databasePath_, reason);
    return false;
}

QString ReportPathOfBackup(const QString &backupPath)
{
    const QFileInfo backup(backupPath);
    return backup.dir().filePath(backup.completeBaseName() + QStringLiteral(".csv"));
}

QList<BackupInfo> ListBackups(const QString &databasePath)
{
    QList<BackupInfo> backups;
    for (const QString &path : BackupFiles(databasePath)) {
        const QFileInfo info(path);
        const QString stamp = info.completeBaseName().mid(BaseName(databasePath).size() + 1, kTimeFormat.size());
        backups.append({path, QDateTime::fromString(stamp, kTimeFormat), info.size(), CountTariffRows(path)});
    }
    return backups;
}

BackupResult RestoreTariffDatabase(const QString &databasePath, const QString &backupPath, int busyTimeoutMs)
{
    const QString failure = QStringLiteral("Die Sicherung %1 konnte nicht zurückgespielt werden: %2. "
                                           "Die Datenbank ist unverändert.");
    if (CountTariffRows(backupPath) < 0)
        return Failure(failure.arg(backupPath, QStringLiteral("sie ist keine lesbare Tarifdatenbank")));
    BackupResult before = BackupTariffDatabase(databasePath, busyTimeoutMs);
    if (!before.ok)
        return Failure(failure.arg(backupPath, before.error));
    QString error;
    const SqliteHandlePtr source = OpenSqliteFile(backupPath, SQLITE_OPEN_READONLY, busyTimeoutMs, error);
    const SqliteHandlePtr destination =
        source ? OpenSqliteFile(databasePath, SQLITE_OPEN_READWRITE, busyTimeoutMs, error) : nullptr;
    if (!destination || !CopyDatabase(source.get(), destination.get(), error))
        return Failure(failure.arg(backupPath, error));
    return before;
}

} // namespace preisliste
