#include "db/backup.h"
#include "support/testsupport.h"

namespace preisliste {
namespace {

using test::RunCli;
using test::TempTariff;

TEST(BackupCommands, ListAndRestoreTheNewestOrANamedBackup)
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
    ASSERT_EQ(lines.size(), 2) << list.out.toStdString();
    EXPECT_TRUE(lines[0].endsWith(second.backupPath));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(" 1 Tarifzeilen")));

    const auto newest = RunCli({"restore", "--db", tariff.Path()});
    EXPECT_EQ(newest.exitCode, 0) << newest.err.toStdString();
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT Price_EUR FROM Numbers")), QStringList{"9"});
    const auto named = RunCli({"restore", "--db", tariff.Path(), first.backupPath});
    EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT * FROM Numbers")), original);
    EXPECT_EQ(ListBackups(tariff.Path()).size(), 4); // each restore backed up the state before it
}

TEST(BackupCommands, NothingToRestoreIsAFailure)
{
    TempTariff tariff;
    const QString before = tariff.Snapshot();
    const auto result = RunCli({"restore", "--db", tariff.Path()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("keine Sicherung")));
    const auto garbage = RunCli({"restore", "--db", tariff.Path(), tariff.WriteFile("x.mdb", "kaputt")});
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_EQ(tariff.Snapshot(), before);
    EXPECT_EQ(RunCli({"backups", "--db", tariff.Path(), "extra"}).exitCode, 2);
}

} // namespace
} // namespace preisliste
