#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace preisliste {

// How many backups of one tariff database are kept; older ones are removed.
// Backups taken before updates and copies taken before restores are counted
// apart, so restoring never pushes the backup of an update out.
inline constexpr int kBackupsKept = 10;

// Why a backup was taken. A copy taken before a restore is marked in its
// name ("...-vor-Wiederherstellung.mdb"); a restore without a name walks
// back through the backups of updates only.
enum class BackupKind { BeforeUpdate, BeforeRestore };

struct BackupResult {
    bool ok = false;
    QString backupPath; // the new backup on success
    QString error;      // German, on failure
};

struct BackupInfo {
    QString path;
    QDateTime created;
    qint64 sizeBytes = 0;
    qint64 tariffRows = -1; // rows of Numbers; -1 when the backup cannot be read
    BackupKind kind = BackupKind::BeforeUpdate;
    bool inPlace = false; // restored last, and the database unchanged since
};

// The folder "backups" beside the database.
QString BackupFolder(const QString &databasePath);

// Copies the database with SQLite's online backup, which gives a consistent
// copy even while another program has the file open, into a new file in the
// backup folder named after the database and the time ("Numbers-2026-12-08_
// 14-03-05.mdb"). Then removes all but the newest kBackupsKept of them.
BackupResult BackupTariffDatabase(const QString &databasePath, int busyTimeoutMs = 5000,
                                  BackupKind kind = BackupKind::BeforeUpdate);

// A backup taken at the start of an update, kept only if the update is
// committed: a run that fails, is stopped or refused leaves no backup and
// removes none of the kept ones, so failed runs never push a good backup out.
// Take() copies under a name no listing picks up; Name() gives the copy its
// final name just before the commit, so a committed update always has its
// backup; Confirm() after the commit removes the backups beyond the newest
// kBackupsKept. Unconfirmed, the copy is removed when the object goes away.
class PendingBackup {
public:
    PendingBackup() = default;
    ~PendingBackup();
    PendingBackup(const PendingBackup &) = delete;
    PendingBackup &operator=(const PendingBackup &) = delete;

    // False with Error() set on failure; nothing is left behind then.
    bool Take(const QString &databasePath, int busyTimeoutMs = 5000, BackupKind kind = BackupKind::BeforeUpdate);
    bool Name();
    void Confirm();
    // Removes the copy, under either name, unless confirmed.
    void Discard();

    bool IsTaken() const { return !currentPath_.isEmpty(); }
    // The backup's final name.
    const QString &Path() const { return targetPath_; }
    const QString &Error() const { return error_; }

private:
    bool Fail(const QString &reason);

    QString databasePath_;
    QString targetPath_;
    QString currentPath_; // where the copy lies now; empty once confirmed or discarded
    bool createdFolder_ = false;
    BackupKind kind_ = BackupKind::BeforeUpdate;
    QString error_;
};

// The report of the update whose backup is at `backupPath`: same folder and
// name, ending in ".csv".
QString ReportPathOfBackup(const QString &backupPath);

// The backups of the database, newest first.
QList<BackupInfo> ListBackups(const QString &databasePath);

// The file a backup name means: a bare name (as `backups` lists it) is
// looked for in the backup folder, a path is taken as it is.
QString ResolveBackupName(const QString &databasePath, const QString &nameOrPath);

struct RestoreChoice {
    QString path;  // the backup to put back; empty when there is none
    QString error; // German, when there is none
};

// The backup a restore without a name puts back: the backup of an update
// taken before the one in place now, or the newest backup of an update when
// none is in place. So each restore undoes one more update.
RestoreChoice NextBackupToRestore(const QString &databasePath);

// Puts `backupPath` back in place of the database's content, in one write
// transaction of the database (readers see the old or the restored tariff,
// never a mix; a crash in between is undone by SQLite's journal). Before that
// the current state is backed up itself (BackupKind::BeforeRestore), so a
// restore can be undone; its path is returned in `backupPath` of the result.
// The restored backup is then the one in place.
BackupResult RestoreTariffDatabase(const QString &databasePath, const QString &backupPath,
                                   int busyTimeoutMs = 5000);

} // namespace preisliste
