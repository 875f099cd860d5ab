#include "db/backup.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace preisliste {
namespace {

using test::RunCli;
using test::TempTariff;

TEST(BackupCommands, ListAndRestoreTheNewestOrABackupNamedAsListed)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const BackupResult first = BackupTariffDatabase(tariff.Path());
    ASSERT_TRUE(first.ok);
    const QStringList original = tariff.Rows(QStringLiteral("SELECT * FROM Numbers"));
    tariff.Execute(QStringLiteral("UPDATE Numbers SET Price_EUR = 9"));
    const BackupResult second = BackupTariffDatabase(tariff.Path());
    ASSERT_TRUE(second.ok);
    tariff.Execute(QStringLiteral("DELETE FROM Numbers"));

    const auto list = RunCli({"backups", "--db", tariff.Path()});
    EXPECT_EQ(list.exitCode, 0);
    const QStringList lines = list.out.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << list.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Sicherungen von %1 in %2, die neueste zuerst:")
                            .arg(tariff.Path(), QFileInfo(tariff.FilePath("backups")).absoluteFilePath()));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("vor Update             ") + QFileInfo(second.backupPath).fileName()))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral(" 1 Tarifzeilen")));

    const auto newest = RunCli({"restore", "--db", tariff.Path()});
    EXPECT_EQ(newest.exitCode, 0) << newest.err.toStdString();
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT Price_EUR FROM Numbers")), QStringList{"9"});

    // The name as listed, from another folder: found in the backup folder.
    const QString name = QFileInfo(first.backupPath).fileName();
    const auto named = RunCli({"restore", "--db", tariff.Path(), name}, QDir::tempPath());
    EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT * FROM Numbers")), original);

    const auto after = RunCli({"backups", "--db", tariff.Path()});
    EXPECT_TRUE(after.out.contains(QStringLiteral("vor Wiederherstellung  Numbers-"))) << after.out.toStdString();
    EXPECT_TRUE(after.out.contains(QStringLiteral("* gerade zurückgespielt")));
    const QStringList marked = after.out.split(u'\n').filter(QRegularExpression(QStringLiteral("^\\* \\d")));
    ASSERT_EQ(marked.size(), 1) << after.out.toStdString();
    EXPECT_TRUE(marked[0].endsWith(name));
}

TEST(BackupCommands, NothingToRestoreIsAFailure)
{
    TempTariff tariff;
    const QString before = tariff.Snapshot();
    const auto result = RunCli({"restore", "--db", tariff.Path()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("keine Sicherung eines Updates")));
    const auto garbage = RunCli({"restore", "--db", tariff.Path(), tariff.WriteFile("x.mdb", "kaputt")});
    EXPECT_EQ(garbage.exitCode, 1);
    const auto unknown = RunCli({"restore", "--db", tariff.Path(), "Numbers-1999-01-01_00-00-00.mdb"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.startsWith(QStringLiteral("Die Sicherung %1 gibt es nicht.")
                                           .arg(QDir(tariff.FilePath("backups"))
                                                    .filePath("Numbers-1999-01-01_00-00-00.mdb"))))
        << unknown.err.toStdString();
    EXPECT_EQ(tariff.Snapshot(), before);
    EXPECT_EQ(RunCli({"backups", "--db", tariff.Path(), "extra"}).exitCode, 2);
}

TEST(BackupCommands, TwoRestoresAfterTwoUpdatesGiveTheTariffBeforeTheFirst)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.25, 0.1);
    tariff.AddNumber(QStringLiteral("0090"), QStringLiteral("Türkei"), 0.12, 0.05);
    const QString beforeFirstUpdate = tariff.Snapshot();
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"),
                                          "#Vorwahl;Ziel;Preis\n0043;Österreich;0,0150\n0041;Schweiz;0,02\n");
    // The list drops Türkei, half of this small tariff.
    const QStringList update = {"update", "--db", tariff.Path(), "--file", list, "--settings", "/dev/null",
                                "--max-removed", "100"};

    ASSERT_EQ(RunCli(update).exitCode, 0);
    tariff.Execute(QStringLiteral("UPDATE Numbers SET Price_EUR = 0.99, IsEdited = 1 WHERE Number = '0041'"));
    const QString handEdited = tariff.Snapshot();
    ASSERT_EQ(RunCli(update).exitCode, 0);

    const auto once = RunCli({"restore", "--db", tariff.Path()});
    ASSERT_EQ(once.exitCode, 0) << once.err.toStdString();
    EXPECT_EQ(tariff.Snapshot(), handEdited);
    const auto twice = RunCli({"restore", "--db", tariff.Path()});
    ASSERT_EQ(twice.exitCode, 0) << twice.err.toStdString();
    EXPECT_EQ(tariff.Snapshot(), beforeFirstUpdate);
    const auto thrice = RunCli({"restore", "--db", tariff.Path()});
    EXPECT_EQ(thrice.exitCode, 1);
    EXPECT_TRUE(thrice.err.contains(QStringLiteral("keine ältere Sicherung"))) << thrice.err.toStdString();
    EXPECT_EQ(tariff.Snapshot(), beforeFirstUpdate);
}

} // namespace
} // namespace preisliste
