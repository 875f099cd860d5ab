#include "buildconfig.h"
#include "cli/commands.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <sqlite3.h>

namespace preisliste {
namespace {

using test::RunCli;
using test::TempTariff;

// Texts only English speakers would write; none of them may reach the
// operator.
void ExpectNoEnglish(const QString &text)
{
    for (const char *english : {"Unknown", "Missing value", "Unexpected value", "attempt to", "unable to",
                                "is not a database", "database is locked", "readonly"}) {
        const qsizetype at = text.indexOf(QString::fromLatin1(english));
        // The engine's original text may follow in parentheses, for support.
        EXPECT_TRUE(at < 0 || text.lastIndexOf(u'(', at) > text.lastIndexOf(u'\n', at))
            << english << " in: " << text.toStdString();
    }
}

const std::pair<QStringList, QString> kOptionErrors[] = {
    {{"update", "--bogus"}, "Unbekannte Option: --bogus"},
    {{"update", "-bogus"}, "Unbekannte Option: -bogus"},
    {{"backups", "--x", "--y=1"}, "Unbekannte Optionen: --x, --y"},
    {{"update", "--file"}, "Nach --file fehlt der Wert."},
    {{"status", "--customer-id"}, "Nach --customer-id fehlt der Wert."},
    {{"update", "--download=ja"}, "--download nimmt keinen Wert an: „--download=ja“."},
};

TEST(GermanMessages, OptionErrorsOfTheProgram)
{
    for (const auto &[arguments, expected] : kOptionErrors) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const auto result = RunCli(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, expected + QStringLiteral("\nHilfe: preisliste --help\n"));
    }
    const auto beforeCommand = RunCli({"--bogus"});
    EXPECT_EQ(beforeCommand.err, QStringLiteral("Unbekannte Option: --bogus (vor einem Befehl gibt es nur --help und "
                                                "--version)\nHilfe: preisliste --help\n"));
}

// The same wording whether Qt's own texts come in English (no translations
// installed) or already in German.
TEST(GermanMessages, OptionErrorsWithAndWithoutQtsGermanTranslation)
{
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        << "Qt's German translations (qt6-translations-l10n) are missing";
    for (const bool translated : {false, true}) {
        if (translated)
            QCoreApplication::installTranslator(&german);
        for (const auto &[arguments, expected] : kOptionErrors) {
            SCOPED_TRACE(arguments.join(u' ').toStdString() + (translated ? " (translated)" : ""));
            QCommandLineParser parser;
            parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
            parser.addOptions({{QStringLiteral("file"), {}, QStringLiteral("PFAD")},
                               {QStringLiteral("customer-id"), {}, QStringLiteral("ID")},
                               {QStringLiteral("download"), {}}});
            const QStringList withProgram = QStringList{QStringLiteral("preisliste")} + arguments.mid(1);
            ASSERT_FALSE(parser.parse(withProgram));
            const bool english = parser.errorText().contains(QStringLiteral("Unknown"))
                                 || parser.errorText().contains(QStringLiteral("value after"));
            EXPECT_EQ(english, !translated) << parser.errorText().toStdString();
            EXPECT_EQ(ParserErrorInGerman(parser, withProgram), expected);
        }
    }
    QCoreApplication::removeTranslator(&german);
}

TEST(GermanMessages, VersionComesFromTheBuild)
{
    const auto result = RunCli({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, QStringLiteral("preisliste " PREISLISTE_VERSION "\n"));
}

TEST(GermanMessages, EachDatabaseProblemHasItsSecondLine)
{
    TempTariff tariff;
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), "#Vorwahl;Ziel;Preis\n0043;Österreich;0,01\n");
    const QString noNumbers = tariff.FilePath(QStringLiteral("andere.mdb"));
    {
        sqlite3 *handle = nullptr;
        sqlite3_open(noNumbers.toUtf8().constData(), &handle);
        sqlite3_exec(handle, "CREATE TABLE Kunden (x)", nullptr, nullptr, nullptr);
        sqlite3_close(handle);
    }
    TempTariff writeProtected;
    const test::ReadOnlyFile protection(writeProtected.Path());
    const std::pair<QString, QString> cases[] = {
        {tariff.FilePath(QStringLiteral("fehlt.mdb")), "Die Datei gibt es nicht. Bitte den Pfad prüfen."},
        {tariff.WriteFile(QStringLiteral("text.mdb"), QByteArray(4096, 'T')),
         "Die Datei ist keine Tarifdatenbank (keine SQLite-Datenbank oder beschädigt). (file is not a database)"},
        {noNumbers, "Die Datenbank hat keine Tabelle „Numbers“. Ist es die richtige Datei?"},
        {writeProtected.Path(), "Die Datei ist schreibgeschützt; das Update muss sie ändern. "
                                "Bitte den Schreibschutz aufheben."},
    };
    const QString settings = tariff.WriteFile(QStringLiteral("Telvoro.ini"), "[Options]\nMwSt=19\n");
    for (const auto &[database, reason] : cases) {
        SCOPED_TRACE(database.toStdString());
        const auto result = RunCli({"update", "--db", database, "--file", list, "--settings", settings});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, QStringLiteral("Datenbank %1 konnte nicht geöffnet werden!\n%2\n").arg(database, reason));
        ExpectNoEnglish(result.err);
    }
}

TEST(GermanMessages, AFolderWithoutWriteAccessIsNamedAlsoWithoutBackup)
{
    TempTariff tariff;
    const QString before = tariff.Snapshot();
    const QString folder = QFileInfo(tariff.Path()).absolutePath();
    const test::ReadOnlyFolder protection(folder);
    for (const QStringList &extra : {QStringList{"--no-backup"}, QStringList{}}) {
        QStringList arguments = {"update", "--db", tariff.Path(), "--settings", "/dev/null"};
        const auto result = RunCli(arguments + extra);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.err.contains(QStringLiteral("In den Ordner %1 darf nicht geschrieben werden; die Datenbank "
                                                       "legt dort beim Ändern ihre Journaldatei an. Bitte "
                                                       "Schreibrechte für den Ordner geben.")
                                            .arg(folder)))
            << result.err.toStdString();
        ExpectNoEnglish(result.err);
    }
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(GermanMessages, ALockHeldPastTheWaitIsNamed)
{
    TempTariff tariff;
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(tariff.Path().toUtf8().constData(), &other), SQLITE_OK);
    sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr);
    const auto result = RunCli({"update", "--db", tariff.Path(), "--settings",
                                tariff.WriteFile(QStringLiteral("Telvoro.ini"), "[Options]\nMwSt=19\n")});
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.startsWith(QStringLiteral("Datenbank %1 konnte nicht geöffnet werden!\nEin anderes Programm "
                                                     "(etwa Telvoro) hält die Datenbank gesperrt, auch nach 5 "
                                                     "Sekunden Warten noch.")
                                          .arg(tariff.Path())))
        << result.err.toStdString();
    ExpectNoEnglish(result.err);
}

TEST(GermanMessages, AnEmptyOrDeviceSettingsFileIsNoSettingsWithoutAWarning)
{
    TempTariff tariff;
    const QString emptyIni = tariff.WriteFile(QStringLiteral("leer.ini"), QByteArray());
    for (const QString &settings : {QStringLiteral("/dev/null"), emptyIni}) {
        // The rule option stands in for the one setting that is warned about
        // when it is missing.
        const auto result = RunCli({"update", "--db", tariff.Path(), "--settings", settings, "--vat", "19"});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(result.err, QString()) << settings.toStdString();
    }
    const auto folder = RunCli({"update", "--db", tariff.Path(), "--settings", tariff.FilePath({})});
    EXPECT_TRUE(folder.err.contains(QStringLiteral("lässt sich nicht lesen; es gelten die Vorgaben")))
        << folder.err.toStdString();
}

TEST(GermanMessages, ACommaSeparatedListIsNamedAsSuch)
{
    TempTariff tariff;
    const QString before = tariff.Snapshot();
    const QString list = tariff.WriteFile(QStringLiteral("komma.csv"), "#Vorwahl,Ziel,Preis\n0043,Österreich,0.01\n");
    const auto result = RunCli({"update", "--db", tariff.Path(), "--file", list, "--settings", "/dev/null"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("ist offenbar durch Kommas getrennt"))) << result.err.toStdString();
    EXPECT_EQ(tariff.Snapshot(), before);
}

} // namespace
} // namespace preisliste
