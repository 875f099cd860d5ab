#include "db/backup.h"

#include "db/sqlhelpers.h"
#include "db/sqliteconnection.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>

namespace preisliste {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
const QString kBeforeRestoreMark = QStringLiteral("-vor-Wiederherstellung");

QString BaseName(const QString &databasePath)
{
    return QFileInfo(databasePath).completeBaseName();
}

QString Suffix(const QString &databasePath)
{
    const QString suffix = QFileInfo(databasePath).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix;
}

BackupKind KindOf(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName().endsWith(kBeforeRestoreMark) ? BackupKind::BeforeRestore
                                                                               : BackupKind::BeforeUpdate;
}

// Orders backups by their time stamp, then by the counter that tells apart
// backups taken within the same second ("...-05-2.mdb" after "...-05.mdb").
// Both kinds share the counter, so the order holds across them.
std::pair<QString, int> BackupOrderKey(const QString &databasePath, const QString &fileName)
{
    QString rest = QFileInfo(fileName).completeBaseName().mid(BaseName(databasePath).size() + 1);
    if (KindOf(fileName) == BackupKind::BeforeRestore)
        rest.chop(kBeforeRestoreMark.size());
    const QString stamp = rest.left(kTimeFormat.size());
    const int counter = rest.size() > stamp.size() ? rest.mid(stamp.size() + 1).toInt() : 1;
    return {stamp, counter};
}

// The backups of the database in its folder, newest first.
QStringList BackupFiles(const QString &databasePath)
{
    const QDir folder(BackupFolder(databasePath));
    QStringList names = folder.entryList({BaseName(databasePath) + QStringLiteral("-\?\?\?\?-\?\?-\?\?_\?\?-\?\?-\?\?*")
                                          + Suffix(databasePath)},
                                         QDir::Files);
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return BackupOrderKey(databasePath, a) > BackupOrderKey(databasePath, b);
    });
    for (QString &name : names)
        name = folder.filePath(name);
    return names;
}

QStringList BackupFiles(const QString &databasePath, BackupKind kind)
{
    QStringList files = BackupFiles(databasePath);
    files.removeIf([kind](const QString &file) { return KindOf(file) != kind; });
    return files;
}

QString NewBackupPath(const QString &databasePath, BackupKind kind)
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
    return stem + (counter == 0 ? QString() : QStringLiteral("-%1").arg(counter + 1))
           + (kind == BackupKind::BeforeRestore ? kBeforeRestoreMark : QString()) + Suffix(databasePath);
}

void RemoveOldBackups(const QString &databasePath, BackupKind kind)
{
    const QStringList files = BackupFiles(databasePath, kind);
    for (qsizetype i = kBackupsKept; i < files.size(); ++i) {
        QFile::remove(files.at(i));
        QFile::remove(ReportPathOfBackup(files.at(i)));
    }
}

qint64 CountTariffRows(const QString &path)
{
    QString error;
    const auto connection = SqliteConnection::Open(path, SQLITE_OPEN_READONLY, 1000, error);
    if (!connection)
        return -1;
    SqliteStatement count = connection->Prepare(QStringLiteral("SELECT count(*) FROM Numbers"));
    return count.Next() ? count.Int64(0) : -1;
}

BackupResult Failure(const QString &text)
{
    return BackupResult{false, {}, text};
}

// A digest of the tariff table's content, row by row in storage order.
QByteArray ContentDigest(const SqliteConnection &connection)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    SqliteStatement rows = connection.Prepare(QStringLiteral("SELECT * FROM Numbers ORDER BY rowid"));
    while (rows.Next()) {
        for (int column = 0; column < rows.ColumnCount(); ++column) {
            // The type first: reading the text may convert the value.
            const QByteArray type = QByteArray::number(rows.Type(column));
            hash.addData(type + ':' + rows.Utf8(column).toByteArray() + '\x1f');
        }
        hash.addData("\x1e");
    }
    return rows.Failed() ? QByteArray() : hash.result().toHex();
}

QByteArray ContentDigest(const QString &path)
{
    QString error;
    const auto connection = SqliteConnection::Open(path, SQLITE_OPEN_READONLY, 1000, error);
    return connection ? ContentDigest(*connection) : QByteArray();
}

// Which backup is in place is kept in a small file beside the backups,
// written by each restore: the backup's name, the digest of the database
// right after the restore and the newest backup of an update then. Comparing
// contents alone cannot tell: an update that changed nothing, or two
// backups with equal content, would look like a backup in place and stall
// or skip the walk back. The record counts only while the database still
// has that content and no update has been backed up since; after any change
// a restore starts again at the newest backup.
struct PlacedBackup {
    QString name;
    QByteArray digest;
    QString newestUpdateBackup;
};

QString PlacedBackupFile(const QString &databasePath)
{
    return QDir(BackupFolder(databasePath)).filePath(BaseName(databasePath) + QStringLiteral("-zurueckgespielt.txt"));
}

QString NewestUpdateBackupName(const QString &databasePath)
{
    const QStringList updates = BackupFiles(databasePath, BackupKind::BeforeUpdate);
    return updates.isEmpty() ? QString() : QFileInfo(updates.constFirst()).fileName();
}

void RecordPlacedBackup(const QString &databasePath, const QString &backupPath, const QByteArray &digest)
{
    const QString record = PlacedBackupFile(databasePath);
    const bool inFolder = QFileInfo(backupPath).absolutePath() == QFileInfo(record).absolutePath();
    QFile file(record);
    if (!inFolder || digest.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QFile::remove(record);
        return;
    }
    file.write("Sicherung=" + QFileInfo(backupPath).fileName().toUtf8() + "\nInhalt=" + digest
               + "\nNeueste=" + NewestUpdateBackupName(databasePath).toUtf8() + '\n');
}

// The name of the backup in place now, or empty.
QString PlacedBackupName(const QString &databasePath)
{
    QFile file(PlacedBackupFile(databasePath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    PlacedBackup placed;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QByteArray value = line.mid(line.indexOf('=') + 1);
        if (line.startsWith("Sicherung="))
            placed.name = QString::fromUtf8(value);
        else if (line.startsWith("Inhalt="))
            placed.digest = value;
        else if (line.startsWith("Neueste="))
            placed.newestUpdateBackup = QString::fromUtf8(value);
    }
    const bool current = !placed.digest.isEmpty() && placed.newestUpdateBackup == NewestUpdateBackupName(databasePath)
                         && QFileInfo::exists(QDir(BackupFolder(databasePath)).filePath(placed.name))
                         && placed.digest == ContentDigest(databasePath);
    return current ? placed.name : QString();
}

} // namespace

QString BackupFolder(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

BackupResult BackupTariffDatabase(const QString &databasePath, int busyTimeoutMs, BackupKind kind)
{
    PendingBackup backup;
    if (!backup.Take(databasePath, busyTimeoutMs, kind) || !backup.Name())
        return Failure(backup.Error());
    backup.Confirm();
    return BackupResult{true, backup.Path(), {}};
}

PendingBackup::~PendingBackup()
{
    Discard();
}

bool PendingBackup::Take(const QString &databasePath, int busyTimeoutMs, BackupKind kind)
{
    Discard();
    databasePath_ = databasePath;
    kind_ = kind;
    if (!QFileInfo(databasePath).isFile())
        return Fail(QStringLiteral("die Datei existiert nicht"));
    createdFolder_ = !QFileInfo::exists(BackupFolder(databasePath));
    if (!QDir().mkpath(BackupFolder(databasePath)))
        return Fail(QStringLiteral("der Ordner %1 kann nicht angelegt werden").arg(BackupFolder(databasePath)));
    QString error;
    targetPath_ = NewBackupPath(databasePath, kind);
    // Written under a name no listing picks up, then renamed: a backup cut
    // short (a crash, a full disk) never passes for a good one.
    const QString partial = targetPath_ + QStringLiteral(".partial");
    bool copied = false;
    {
        // The file as it is takes a fraction of the time the engine takes
        // to copy it page by page; with a write-ahead log beside it, the
        // engine's copy is the only whole one.
        using FileCopy = SqliteConnection::FileCopy;
        const auto source = SqliteConnection::Open(databasePath, SQLITE_OPEN_READONLY, busyTimeoutMs, error);
        const FileCopy asFile = source ? source->CopyFileTo(partial, error) : FileCopy::Failed;
        copied = asFile == FileCopy::Copied;
        if (asFile == FileCopy::HasWriteAheadLog) {
            const auto destination =
                SqliteConnection::Open(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyTimeoutMs, error);
            copied = destination && source->CopyInto(*destination, error);
        }
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
    RemoveOldBackups(databasePath_, kind_);
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
    const QString placed = PlacedBackupName(databasePath);
    for (const QString &path : BackupFiles(databasePath)) {
        const QFileInfo info(path);
        const QString stamp = info.completeBaseName().mid(BaseName(databasePath).size() + 1, kTimeFormat.size());
        backups.append({path, QDateTime::fromString(stamp, kTimeFormat), info.size(), CountTariffRows(path),
                        KindOf(path), !placed.isEmpty() && info.fileName() == placed});
    }
    return backups;
}

QString ResolveBackupName(const QString &databasePath, const QString &nameOrPath)
{
    if (nameOrPath.contains(u'/') || nameOrPath.contains(QDir::separator()))
        return nameOrPath;
    return QDir(BackupFolder(databasePath)).filePath(nameOrPath);
}

RestoreChoice NextBackupToRestore(const QString &databasePath)
{
    const QStringList files = BackupFiles(databasePath);
    const QString placed = PlacedBackupName(databasePath);
    qsizetype from = 0;
    for (qsizetype i = 0; i < files.size() && !placed.isEmpty(); ++i) {
        if (QFileInfo(files.at(i)).fileName() == placed)
            from = i + 1;
    }
    for (qsizetype i = from; i < files.size(); ++i) {
        if (KindOf(files.at(i)) == BackupKind::BeforeUpdate)
            return {files.at(i), {}};
    }
    if (from > 0)
        return {{}, QStringLiteral("Es gibt keine ältere Sicherung eines Updates als %1, die gerade "
                                   "zurückgespielt ist.")
                        .arg(placed)};
    return {{}, QStringLiteral("Es gibt keine Sicherung eines Updates von %1 (im Ordner %2).")
                    .arg(databasePath, BackupFolder(databasePath))};
}

BackupResult RestoreTariffDatabase(const QString &databasePath, const QString &backupPath, int busyTimeoutMs)
{
    const QString failure = QStringLiteral("Die Sicherung %1 konnte nicht zurückgespielt werden: %2. "
                                           "Die Datenbank ist unverändert.");
    if (CountTariffRows(backupPath) < 0)
        return Failure(failure.arg(backupPath, QStringLiteral("sie ist keine lesbare Tarifdatenbank")));
    BackupResult before = BackupTariffDatabase(databasePath, busyTimeoutMs, BackupKind::BeforeRestore);
    if (!before.ok)
        return Failure(failure.arg(backupPath, before.error));
    QString error;
    const auto source = SqliteConnection::Open(backupPath, SQLITE_OPEN_READONLY, busyTimeoutMs, error);
    const auto destination =
        source ? SqliteConnection::Open(databasePath, SQLITE_OPEN_READWRITE, busyTimeoutMs, error) : nullptr;
    if (!destination || !source->CopyInto(*destination, error))
        return Failure(failure.arg(backupPath, error));
    RecordPlacedBackup(databasePath, backupPath, ContentDigest(*destination));
    return before;
}

} // namespace preisliste
