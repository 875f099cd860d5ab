#include "db/tariffdatabase.h"

#include "db/sqlhelpers.h"
#include "support/testsupport.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace preisliste {
namespace {

using test::TempTariff;

QString OpenFailure(const QString &path)
{
    return QStringLiteral("Datenbank ") + path + QStringLiteral(" konnte nicht geöffnet werden!");
}

TEST(OpenTariffDatabase, OpensAnExistingTariffReadWrite)
{
    TempTariff tariff;
    QString error;
    auto connection = OpenTariffDatabase(tariff.Path(), error);
    ASSERT_TRUE(connection);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(connection->Path(), tariff.Path());
    EXPECT_TRUE(connection->Exec(QStringLiteral("INSERT INTO Numbers (Number, Name) VALUES ('0043', 'Österreich')")));
    connection.reset();
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT Name FROM Numbers")), QStringList{QStringLiteral("Österreich")});
}

TEST(OpenTariffDatabase, PathsWithBlanksQuotesSemicolonsAndUmlauts)
{
    TempTariff folder;
    for (const QString &name : {QStringLiteral("Tarif Daten.mdb"), QStringLiteral("a'b\"c;d.mdb"),
                                QStringLiteral("Übersee?#%.mdb")}) {
        const QString path = folder.FilePath(name);
        ASSERT_TRUE(CreateTariffDatabase(path).isEmpty()) << name.toStdString();
        QString error;
        EXPECT_TRUE(OpenTariffDatabase(path, error)) << name.toStdString() << error.toStdString();
    }
}

// The message of a refused file: the fixed first line, and a second one
// that says why.
void ExpectRefused(const QString &path, const QString &reason, int busyTimeoutMs = 100)
{
    QString error;
    EXPECT_FALSE(OpenTariffDatabase(path, error, busyTimeoutMs));
    const QStringList lines = error.split(u'\n');
    ASSERT_EQ(lines.size(), 2) << error.toStdString();
    EXPECT_EQ(lines[0], OpenFailure(path));
    EXPECT_TRUE(lines[1].contains(reason)) << lines[1].toStdString();
}

TEST(OpenTariffDatabase, RefusesWhatIsNotAWritableTariffAndSaysWhy)
{
    TempTariff folder;
    const QString missing = folder.FilePath(QStringLiteral("missing.mdb"));
    const QString garbage = folder.WriteFile(QStringLiteral("garbage.mdb"), QByteArray(4096, '\x5A'));
    const QString empty = folder.WriteFile(QStringLiteral("empty.mdb"), QByteArray());
    const QString noNumbers = folder.FilePath(QStringLiteral("other.mdb"));
    {
        sqlite3 *handle = nullptr;
        sqlite3_open(noNumbers.toUtf8().constData(), &handle);
        sqlite3_exec(handle, "CREATE TABLE Other (x)", nullptr, nullptr, nullptr);
        sqlite3_close(handle);
    }
    TempTariff readOnly;
    const test::ReadOnlyFile protection(readOnly.Path());

    const std::pair<QString, QString> cases[] = {
        {missing, QStringLiteral("Die Datei gibt es nicht")},
        {QString(), QStringLiteral("Die Datei gibt es nicht")},
        {folder.FilePath({}), QStringLiteral("ein Ordner")},
        {garbage, QStringLiteral("keine Tarifdatenbank (keine SQLite-Datenbank oder beschädigt). "
                                 "(file is not a database)")},
        {empty, QStringLiteral("leer")},
        {noNumbers, QStringLiteral("keine Tabelle „Numbers“. Ist es die richtige Datei?")},
        {readOnly.Path(), QStringLiteral("schreibgeschützt")},
    };
    for (const auto &[path, reason] : cases) {
        SCOPED_TRACE(path.toStdString());
        ExpectRefused(path, reason);
    }
    EXPECT_FALSE(QFile::exists(missing)) << "opening must never create a file";
    EXPECT_EQ(QFile(empty).size(), 0);
    EXPECT_FALSE(QFileInfo(readOnly.Path()).isWritable() && protection.Active());
}

TEST(OpenTariffDatabase, AFolderThatTakesNoJournalIsNamed)
{
    TempTariff tariff;
    const QString before = tariff.Snapshot();
    {
        const test::ReadOnlyFolder protection(tariff.FilePath({}));
        ExpectRefused(tariff.Path(), QStringLiteral("In den Ordner %1 darf nicht geschrieben werden; die Datenbank "
                                                    "legt dort beim Ändern ihre Journaldatei an")
                                         .arg(QFileInfo(tariff.Path()).absolutePath()));
    }
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(OpenTariffDatabase, AFileLockedByAnotherProgramIsRefused)
{
    TempTariff tariff;
    sqlite3 *handle = nullptr;
    ASSERT_EQ(sqlite3_open_v2(tariff.Path().toUtf8().constData(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    // An exclusive lock in another connection keeps the file from being read at all.
    sqlite3_exec(handle, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr);
    ExpectRefused(tariff.Path(), QStringLiteral("Ein anderes Programm (etwa Telvoro) hält die Datenbank gesperrt, "
                                                "auch nach 1,5 Sekunden Warten noch"),
                  1500);
    sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    EXPECT_TRUE(test::OpenForRun(tariff.Path(), 100));
}

TEST(SqlTransaction, BeginWaitsForAnotherWriterThenSaysWhyOnce)
{
    TempTariff tariff;
    auto connection = test::OpenForRun(tariff.Path(), 100);
    ASSERT_TRUE(connection);
    sqlite3 *other = nullptr;
    sqlite3_open(tariff.Path().toUtf8().constData(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    SqlTransaction transaction(*connection);
    EXPECT_FALSE(transaction.Begin());
    EXPECT_EQ(transaction.Error(), QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt und ist "
                                                  "gesperrt. Bitte später noch einmal versuchen. (database is locked)"));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(transaction.Begin());
}

TEST(SqlTransaction, WhatIsNotCommittedIsRolledBack)
{
    TempTariff tariff;
    const QString before = tariff.Snapshot();
    {
        auto connection = test::OpenForRun(tariff.Path());
        ASSERT_TRUE(connection);
        SqlTransaction transaction(*connection);
        ASSERT_TRUE(transaction.Begin());
        ASSERT_TRUE(connection->Exec(QStringLiteral("INSERT INTO Numbers (Number) VALUES ('1')")));
        ASSERT_TRUE(connection->Exec(QStringLiteral("CREATE TABLE Import2 (x)")));
    }
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(CreateTariffDatabase, CreatesTheTableAndNeverOverwrites)
{
    TempTariff tariff;
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'Numbers'")),
              QStringList{kCreateNumbersStatement});
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QByteArray before = tariff.FileBytes();
    EXPECT_FALSE(CreateTariffDatabase(tariff.Path()).isEmpty());
    EXPECT_EQ(tariff.FileBytes(), before);
    EXPECT_FALSE(CreateTariffDatabase(tariff.FilePath(QStringLiteral("no/such/folder/x.mdb"))).isEmpty());
}

} // namespace
} // namespace preisliste
