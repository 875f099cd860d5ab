#include "support/testsupport.h"

#include <QFile>

#include <sqlite3.h>

namespace preisliste {
namespace {

using test::RunCli;
using test::TempTariff;

const QByteArray kList = "#kvtpricelist\r\nList-ID: 7\r\nEffective: 01.03.2011 00:00\r\n\r\n"
                         "0043;\xC3\x96sterreich;0,03\r\n004930;Deutschland Berlin;0,01\r\n";

QStringList Args(std::initializer_list<QString> args) { return QStringList(args); }

TEST(CommandLine, UpdateCommitsAndStagesExactlyTheDataLines)
{
    TempTariff tariff;
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), kList);
    const auto result = RunCli(Args({"update", "--db", tariff.Path(), "--file", file, "--settings",
                                     tariff.WriteFile("Telvoro.ini", "[Options]\nMwSt=19\n")}));
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(QStringLiteral("Fertig!")));
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
}

TEST(CommandLine, BadInputEndsWithAMessageAndLeavesTheDatabaseUnchanged)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString before = tariff.Snapshot();
    const QString notADatabase = tariff.WriteFile(QStringLiteral("kaputt.mdb"), QByteArray(8192, '\x42'));
    QByteArray garbage(8192, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 131) % 256);
    struct Case {
        const char *what;
        QString db;
        QByteArray list; // empty: the list file is missing
        QString expected;
    };
    const Case cases[] = {
        {"missing list", tariff.Path(), {}, "Falsche Datei"},
        {"wrong first line", tariff.Path(), "Prefix;Name;Rate\n1;a;1\n", "Falsche Datei"},
        {"header without #", tariff.Path(), "Vorwahl;Ziel;Preis\n1;a;1\n", "Falsche Datei"},
        {"binary garbage", tariff.Path(), garbage, "Falsche Datei"},
        {"only CR line ends", tariff.Path(), "#Vorwahl\r1;a;1\r", "Falsche Datei"},
        {"missing database", tariff.FilePath("fehlt.mdb"), kList, "konnte nicht geöffnet werden!"},
        {"not a database", notADatabase, kList, "konnte nicht geöffnet werden!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString list = tariff.FilePath(QStringLiteral("liste.csv"));
        QFile::remove(list);
        if (!c.list.isEmpty())
            tariff.WriteFile(QStringLiteral("liste.csv"), c.list);
        const auto result = RunCli(Args({"update", "--db", c.db, "--file", list, "--settings", "/nonexistent.ini"}));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains(c.expected)) << result.err.toStdString();
        EXPECT_FALSE(result.out.contains(QStringLiteral("Fertig!")));
        EXPECT_EQ(tariff.Snapshot(), before);
    }
    EXPECT_FALSE(QFile::exists(tariff.FilePath("fehlt.mdb")));
}

TEST(CommandLine, ReadOnlyAndLockedDatabasesAreRefused)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), kList);
    const QString before = tariff.Snapshot();
    {
        const test::ReadOnlyFile readOnly(tariff.Path());
        const auto result = RunCli(Args({"update", "--db", tariff.Path(), "--file", file}));
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains(QStringLiteral("konnte nicht geöffnet werden!"))) << result.err.toStdString();
    }
    sqlite3 *other = nullptr;
    sqlite3_open(tariff.Path().toUtf8().constData(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto locked = RunCli(Args({"update", "--db", tariff.Path(), "--file", file}));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_TRUE(locked.err.contains(QStringLiteral("gesperrt"))) << locked.err.toStdString();
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(CommandLine, SettingsGiveTheDatabaseOrAWarning)
{
    TempTariff tariff;
    const QString folder = tariff.FilePath({});
    const QString ini = tariff.WriteFile(QStringLiteral("Telvoro.ini"),
                                         "[Options]\nDB Path=" + folder.toUtf8() + "\nMwSt=19\n");
    const auto fromSettings = RunCli(Args({"update"}), {}, {QStringLiteral("TELVORO_SETTINGS=") + ini});
    EXPECT_EQ(fromSettings.exitCode, 0) << fromSettings.err.toStdString();

    // Without "DB Path" the current folder is used, after a warning.
    const auto noPath = RunCli(Args({"update", "--settings", "/nonexistent.ini"}), folder);
    EXPECT_EQ(noPath.exitCode, 0) << noPath.err.toStdString();
    EXPECT_TRUE(noPath.err.contains(QStringLiteral("Es konnte kein Datenbankpfad gefunden werden!")));
}

TEST(CommandLine, AMissingSettingsFileNamedOnPurposeIsWarnedAbout)
{
    TempTariff tariff;
    const auto named = RunCli({"update", "--db", tariff.Path(), "--settings", tariff.FilePath("Telvoro.inj")});
    EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
    EXPECT_TRUE(named.err.contains(QStringLiteral("Die Einstellungsdatei ") + tariff.FilePath("Telvoro.inj")
                                   + QStringLiteral(" gibt es nicht")))
        << named.err.toStdString();
    const auto fromEnvironment =
        RunCli({"update", "--db", tariff.Path()}, {}, {QStringLiteral("TELVORO_SETTINGS=/nonexistent/T.ini")});
    EXPECT_TRUE(fromEnvironment.err.contains(QStringLiteral("/nonexistent/T.ini gibt es nicht")));
}

TEST(CommandLine, InitDbCreatesButNeverOverwrites)
{
    TempTariff folder;
    const QString path = folder.FilePath(QStringLiteral("neu.mdb"));
    EXPECT_EQ(RunCli(Args({"init-db", path})).exitCode, 0);
    EXPECT_EQ(folder.Rows("SELECT count(*) FROM sqlite_master").size(), 1);
    const auto again = RunCli(Args({"init-db", path}));
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("existiert bereits")));
}

TEST(CommandLine, WithoutADisplayTheWindowSaysWhatToDoInstead)
{
    const auto result = RunCli({}, {}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("Kein Bildschirm gefunden"))) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("preisliste --help")));
}

TEST(CommandLine, WrongUsageExitsWithTwo)
{
    for (const QStringList &args : {Args({"frobnicate"}), Args({"update", "--nope"}), Args({"update", "extra"}),
                                    Args({"init-db"}), Args({"init-db", "a", "b"}), Args({"update", "--db"})}) {
        const auto result = RunCli(args);
        EXPECT_EQ(result.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_FALSE(result.err.isEmpty());
    }
    const auto help = RunCli(Args({"update", "--help"}));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--file")));
}

} // namespace
} // namespace preisliste
