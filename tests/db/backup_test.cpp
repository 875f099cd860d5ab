#include "db/backup.h"

#include "db/sqliteconnection.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sqlite3.h>

namespace preisliste {
namespace {

using test::TempTariff;

QStringList Content(const QString &path)
{
    sqlite3 *handle = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *statement = nullptr;
    QStringList rows;
    if (sqlite3_prepare_v2(handle, "SELECT Number, Name, Price_EUR FROM Numbers ORDER BY rowid", -1, &statement,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            rows << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0))) + u'|'
                        + QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 1)))
                        + u'|' + QString::number(sqlite3_column_double(statement, 2));
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return rows;
}

TEST(Backup, CopiesTheTariffBesideTheDatabase)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const BackupResult result = BackupTariffDatabase(tariff.Path());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(QFileInfo(result.backupPath).absolutePath(), QFileInfo(tariff.FilePath("backups")).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(result.backupPath).fileName().startsWith(QStringLiteral("Numbers-")));
    EXPECT_TRUE(result.backupPath.endsWith(QStringLiteral(".mdb")));
    EXPECT_EQ(Content(result.backupPath), Content(tariff.Path()));
}

TEST(Backup, CopiesTheFileByteForByte)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const BackupResult result = BackupTariffDatabase(tariff.Path());
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    QFile copy(result.backupPath);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), tariff.FileBytes());
}

// With a write-ahead log, committed rows may still lie in the log alone;
// the file by itself would lack them.
TEST(Backup, TakesTheRowsStillInTheWriteAheadLog)
{
    TempTariff tariff;
    tariff.Execute(QStringLiteral("PRAGMA journal_mode = WAL"));
    sqlite3 *writer = nullptr; // open, so that the log is not folded into the file
    ASSERT_EQ(sqlite3_open(tariff.Path().toUtf8().constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA wal_autocheckpoint = 0; INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) "
                           "VALUES ('0043', 'Österreich', 0.2, 0.1)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const BackupResult result = BackupTariffDatabase(tariff.Path());
    sqlite3_close(writer);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(Content(result.backupPath), QStringList({QStringLiteral("0043|Österreich|0.2")}));
}

// The update takes its backup while it holds the write lock; the copy must
// not drop it. Locks belong to the process, so another process tries to
// write.
TEST(Backup, LeavesTheWriteLockOfTheRunInPlace)
{
    TempTariff tariff;
    QString error;
    const auto run = SqliteConnection::Open(tariff.Path(), SQLITE_OPEN_READWRITE, 0, error);
    ASSERT_TRUE(run && run->Exec(QStringLiteral("BEGIN IMMEDIATE"))) << error.toStdString();
    PendingBackup backup;
    ASSERT_TRUE(backup.Take(tariff.Path(), 0)) << backup.Error().toStdString();
    QProcess other;
    other.start(QStringLiteral("sqlite3"),
                {tariff.Path(), QStringLiteral("INSERT INTO Numbers (Number) VALUES ('0043');")});
    ASSERT_TRUE(other.waitForFinished(30000));
    EXPECT_NE(other.exitCode(), 0);
    EXPECT_TRUE(other.readAllStandardError().contains("locked"));
    EXPECT_TRUE(run->Exec(QStringLiteral("ROLLBACK")));
}

TEST(Backup, KeepsTheNewestTenAndListsThemNewestFirst)
{
    TempTariff tariff;
    QStringList made;
    for (int i = 0; i < 12; ++i) {
        tariff.AddNumber(QString::number(i), QStringLiteral("Ziel"), 0.1, 0.05);
        const BackupResult result = BackupTariffDatabase(tariff.Path());
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        made.prepend(result.backupPath);
    }
    const QList<BackupInfo> backups = ListBackups(tariff.Path());
    ASSERT_EQ(backups.size(), kBackupsKept);
    for (int i = 0; i < kBackupsKept; ++i) {
        EXPECT_EQ(backups[i].path, made[i]);
        EXPECT_EQ(backups[i].tariffRows, 12 - i);
        EXPECT_GT(backups[i].sizeBytes, 0);
        EXPECT_TRUE(backups[i].created.isValid());
    }
    EXPECT_FALSE(QFile::exists(made[10]));
    EXPECT_FALSE(QFile::exists(made[11]));
}

TEST(Backup, OtherDatabasesInTheSameFolderKeepTheirOwnBackups)
{
    TempTariff tariff;
    const QString other = tariff.FilePath(QStringLiteral("Numbers2.mdb"));
    QFile::copy(tariff.Path(), other);
    ASSERT_TRUE(BackupTariffDatabase(other).ok);
    ASSERT_TRUE(BackupTariffDatabase(tariff.Path()).ok);
    EXPECT_EQ(ListBackups(tariff.Path()).size(), 1);
    EXPECT_EQ(ListBackups(other).size(), 1);
}

TEST(Backup, FailureSaysWhyAndCreatesNothing)
{
    TempTariff tariff;
    const BackupResult missing = BackupTariffDatabase(tariff.FilePath(QStringLiteral("fehlt.mdb")));
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.error.contains(QStringLiteral("fehlt.mdb")));
    // A file where the backup folder should be: the folder cannot be made.
    tariff.WriteFile(QStringLiteral("backups"), "kein Ordner");
    const BackupResult blocked = BackupTariffDatabase(tariff.Path());
    EXPECT_FALSE(blocked.ok);
    EXPECT_TRUE(blocked.error.startsWith(QStringLiteral("Die Sicherung der Datenbank")));
}

TEST(Restore, PutsTheBackupBackAndCanItselfBeUndone)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QStringList original = Content(tariff.Path());
    const BackupResult backup = BackupTariffDatabase(tariff.Path());
    ASSERT_TRUE(backup.ok);
    tariff.Execute(QStringLiteral("DELETE FROM Numbers; INSERT INTO Numbers (Number, Name, Price_EUR) "
                                  "VALUES ('1', 'neu', 9)"));
    const QStringList changed = Content(tariff.Path());

    const BackupResult restored = RestoreTariffDatabase(tariff.Path(), backup.backupPath);
    ASSERT_TRUE(restored.ok) << restored.error.toStdString();
    EXPECT_EQ(Content(tariff.Path()), original);
    EXPECT_EQ(Content(restored.backupPath), changed);
    EXPECT_EQ(tariff.Rows(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});

    ASSERT_TRUE(RestoreTariffDatabase(tariff.Path(), restored.backupPath).ok);
    EXPECT_EQ(Content(tariff.Path()), changed);
}

TEST(Restore, RefusesWhatIsNotATariffAndChangesNothing)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString before = tariff.Snapshot();
    const QString garbage = tariff.WriteFile(QStringLiteral("garbage.mdb"), QByteArray(4096, 'x'));
    const BackupResult result = RestoreTariffDatabase(tariff.Path(), garbage);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("unverändert")));
    EXPECT_EQ(tariff.Snapshot(), before);
    EXPECT_FALSE(RestoreTariffDatabase(tariff.Path(), tariff.FilePath(QStringLiteral("fehlt.mdb"))).ok);
    EXPECT_EQ(tariff.Snapshot(), before);
}

// A tariff with one row whose price tells the state apart.
void SetPrice(const TempTariff &tariff, int price)
{
    tariff.Execute(QStringLiteral("DELETE FROM Numbers; INSERT INTO Numbers (Number, Name, Price_EUR) "
                                  "VALUES ('0043', 'Österreich', %1)")
                       .arg(price));
}

QString Price(const TempTariff &tariff)
{
    return tariff.Rows(QStringLiteral("SELECT Price_EUR FROM Numbers")).join(u',');
}

TEST(Restore, TheCopyBeforeARestoreIsMarkedAndPushesNoUpdateBackupOut)
{
    TempTariff tariff;
    QStringList updateBackups;
    for (int i = 0; i < kBackupsKept; ++i) {
        SetPrice(tariff, i);
        updateBackups.prepend(BackupTariffDatabase(tariff.Path()).backupPath);
    }
    for (int i = 0; i < kBackupsKept + 2; ++i) {
        const BackupResult restored = RestoreTariffDatabase(tariff.Path(), updateBackups.at(i % kBackupsKept));
        ASSERT_TRUE(restored.ok) << restored.error.toStdString();
        EXPECT_TRUE(restored.backupPath.endsWith(QStringLiteral("-vor-Wiederherstellung.mdb")));
    }
    QStringList kept;
    int copiesBeforeRestore = 0;
    for (const BackupInfo &backup : ListBackups(tariff.Path())) {
        if (backup.kind == BackupKind::BeforeUpdate)
            kept.append(backup.path);
        else
            ++copiesBeforeRestore;
    }
    EXPECT_EQ(kept, updateBackups);
    EXPECT_EQ(copiesBeforeRestore, kBackupsKept);
}

TEST(Restore, WithoutANameEachRestoreGoesBackOneUpdate)
{
    TempTariff tariff;
    for (int state = 1; state <= 3; ++state) {
        SetPrice(tariff, state);
        ASSERT_TRUE(BackupTariffDatabase(tariff.Path()).ok); // the update's backup of this state
    }
    SetPrice(tariff, 4); // what the last update left
    for (const char *expected : {"3", "2", "1"}) {
        const RestoreChoice next = NextBackupToRestore(tariff.Path());
        ASSERT_FALSE(next.path.isEmpty()) << next.error.toStdString();
        ASSERT_TRUE(RestoreTariffDatabase(tariff.Path(), next.path).ok);
        EXPECT_EQ(Price(tariff), QString::fromLatin1(expected));
    }
    const RestoreChoice none = NextBackupToRestore(tariff.Path());
    EXPECT_TRUE(none.path.isEmpty());
    EXPECT_TRUE(none.error.contains(QStringLiteral("keine ältere Sicherung"))) << none.error.toStdString();
}

TEST(Restore, AChangeAfterARestoreStartsTheWalkAtTheNewestAgain)
{
    TempTariff tariff;
    SetPrice(tariff, 1);
    ASSERT_TRUE(BackupTariffDatabase(tariff.Path()).ok);
    SetPrice(tariff, 2);
    const QString newest = BackupTariffDatabase(tariff.Path()).backupPath;
    SetPrice(tariff, 3);
    ASSERT_TRUE(RestoreTariffDatabase(tariff.Path(), NextBackupToRestore(tariff.Path()).path).ok);
    ASSERT_EQ(Price(tariff), QStringLiteral("2"));

    SetPrice(tariff, 5); // edited by hand
    EXPECT_EQ(NextBackupToRestore(tariff.Path()).path, newest);
    for (const BackupInfo &backup : ListBackups(tariff.Path()))
        EXPECT_FALSE(backup.inPlace) << backup.path.toStdString();

    // Back in place, then a new update: its backup is the newest, and the
    // next restore undoes that update, even though it changed nothing.
    ASSERT_TRUE(RestoreTariffDatabase(tariff.Path(), newest).ok);
    const QString unchangedUpdate = BackupTariffDatabase(tariff.Path()).backupPath;
    EXPECT_EQ(NextBackupToRestore(tariff.Path()).path, unchangedUpdate);
}

TEST(Restore, TheListShowsTheKindAndTheBackupInPlace)
{
    TempTariff tariff;
    SetPrice(tariff, 1);
    const QString first = BackupTariffDatabase(tariff.Path()).backupPath;
    SetPrice(tariff, 2);
    const BackupResult restored = RestoreTariffDatabase(tariff.Path(), first);
    ASSERT_TRUE(restored.ok);
    const QList<BackupInfo> backups = ListBackups(tariff.Path());
    ASSERT_EQ(backups.size(), 2);
    EXPECT_EQ(backups[0].path, restored.backupPath);
    EXPECT_EQ(backups[0].kind, BackupKind::BeforeRestore);
    EXPECT_FALSE(backups[0].inPlace);
    EXPECT_EQ(backups[1].path, first);
    EXPECT_EQ(backups[1].kind, BackupKind::BeforeUpdate);
    EXPECT_TRUE(backups[1].inPlace);

    // Undoing the restore puts the copy before it in place; the walk goes
    // on from there to the update backup before it.
    ASSERT_TRUE(RestoreTariffDatabase(tariff.Path(), restored.backupPath).ok);
    EXPECT_EQ(Price(tariff), QStringLiteral("2"));
    EXPECT_EQ(NextBackupToRestore(tariff.Path()).path, first);
}

TEST(Restore, ABareNameIsLookedForInTheBackupFolder)
{
    const QString database = QStringLiteral("/srv/telvoro/Numbers.mdb");
    EXPECT_EQ(ResolveBackupName(database, QStringLiteral("Numbers-2026-01-02_03-04-05.mdb")),
              QStringLiteral("/srv/telvoro/backups/Numbers-2026-01-02_03-04-05.mdb"));
    EXPECT_EQ(ResolveBackupName(database, QStringLiteral("./Numbers.mdb")), QStringLiteral("./Numbers.mdb"));
    EXPECT_EQ(ResolveBackupName(database, QStringLiteral("/tmp/x.mdb")), QStringLiteral("/tmp/x.mdb"));
}

} // namespace
} // namespace preisliste
