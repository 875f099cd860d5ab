// Nightly updates from a timer: only a new list is applied, a list that takes
// effect later waits, status tells a script whether there is anything new,
// and every run leaves a record in the history beside the backups, even when
// that history cannot be written. End to end through the built program
// against a real HTTP server on 127.0.0.1.
#include "history/historyreport.h"
#include "history/updatehistory.h"
#include "support/httptestserver.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace preisliste::test {
namespace {

QByteArray ServerList(int sequence, const char *effective = "01.03.2011 00:00")
{
    return "#kvtpricelist\nList-ID: 7d1e-cli\nList-Sequence: " + QByteArray::number(sequence) + "\nEffective: "
           + effective + "\n\n0049;Deutschland Festnetz;0,0125\n0043;\xC3\x96sterreich;0,02\n004930;Berlin;0,011\n";
}

const QByteArray kPlainList = "#Vorwahl;Ziel;Preis\n0049;Deutschland Festnetz;0,0125\n0043;\xC3\x96sterreich;0,02\n";

class Unattended : public testing::Test {
protected:
    void SetUp() override
    {
        tariff_.AddNumber(QStringLiteral("0049"), QStringLiteral("Deutschland Festnetz"), 0.05, 0.01);
        tariff_.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.03);
        settings_ = tariff_.WriteFile(QStringLiteral("Telvoro.ini"), "[Options]\nMwSt=19\nRatingDefaultMargin=60\n");
    }

    CliResult Cli(const QStringList &arguments) const
    {
        return RunCli(arguments, {},
                      {QStringLiteral("PREISLISTE_SERVER=") + server_.Address(), QStringLiteral("LC_ALL=C.UTF-8"),
                       QStringLiteral("TMPDIR=") + temp_.path()});
    }
    CliResult Update(const QStringList &options) const
    {
        return Cli(QStringList{QStringLiteral("update"), QStringLiteral("--db"), tariff_.Path(),
                               QStringLiteral("--settings"), settings_, QStringLiteral("--max-removed"),
                               QStringLiteral("100")}
                   + options);
    }
    CliResult Download(const QStringList &options = {}) const
    {
        return Update(QStringList{QStringLiteral("--download"), QStringLiteral("--customer-id"), QStringLiteral("K-7"),
                                  QStringLiteral("--if-changed")}
                      + options);
    }
    CliResult Status() const
    {
        return Cli({QStringLiteral("status"), QStringLiteral("--db"), tariff_.Path(), QStringLiteral("--customer-id"),
                    QStringLiteral("K-7"), QStringLiteral("--settings"), settings_});
    }
    CliResult History(const QStringList &options = {}) const
    {
        return Cli(QStringList{QStringLiteral("history"), QStringLiteral("--db"), tariff_.Path()} + options);
    }
    QStringList Backups() const
    {
        return QDir(tariff_.FilePath(QStringLiteral("backups"))).entryList({QStringLiteral("*.mdb")}, QDir::Files);
    }
    HistoryRecord Newest() const
    {
        QString error;
        const std::optional<QList<HistoryRecord>> records = ReadHistory(tariff_.Path(), 1, error);
        EXPECT_TRUE(records && !records->isEmpty()) << error.toStdString();
        return records && !records->isEmpty() ? records->constFirst() : HistoryRecord{};
    }

    HttpTestServer server_;
    QTemporaryDir temp_;
    TempTariff tariff_;
    QString settings_;
};

TEST_F(Unattended, AnUnchangedListDoesNothingAndANewOneIsApplied)
{
    server_.Respond(200, ServerList(42));
    const CliResult first = Download();
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    ASSERT_EQ(Backups().size(), 1);
    const QString firstBackup = Backups().constFirst();
    const QByteArray applied = tariff_.FileBytes();

    const CliResult again = Download();
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, QStringLiteral("Preisliste unverändert (List-ID 7d1e-cli, Sequenz 42) – nichts zu tun.\n"));
    EXPECT_EQ(again.err, QString());
    EXPECT_EQ(tariff_.FileBytes(), applied);
    EXPECT_EQ(Backups().size(), 1);
    EXPECT_EQ(Newest().outcome, HistoryOutcome::Unchanged);
    EXPECT_EQ(Newest().listSequence, 42);
    // The header alone was asked for the second time.
    EXPECT_TRUE(server_.RequestLines().constLast().contains(QStringLiteral("head=1")));
    EXPECT_EQ(server_.RequestLines().size(), 3);

    server_.Respond(200, ServerList(43));
    const CliResult changed = Download();
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    EXPECT_TRUE(changed.out.contains(QStringLiteral("Fertig!")));
    EXPECT_EQ(Backups().size(), 2);
    const HistoryRecord newest = Newest();
    EXPECT_EQ(newest.outcome, HistoryOutcome::Committed);
    EXPECT_EQ(newest.listSequence, 43);
    EXPECT_EQ(newest.customerId, QStringLiteral("K-7"));
    EXPECT_EQ(newest.server, server_.Address());
    EXPECT_EQ(newest.sha256.size(), 64);
    EXPECT_TRUE(newest.merge && newest.repriced && newest.changes);
    EXPECT_EQ(QFileInfo(newest.backupFile).absolutePath(), QFileInfo(tariff_.FilePath(QStringLiteral("backups"))).absoluteFilePath());
    EXPECT_TRUE(Backups().contains(QFileInfo(newest.backupFile).fileName()));
    EXPECT_NE(QFileInfo(newest.backupFile).fileName(), firstBackup);
}

// What a nightly timer runs: silent when nothing is new, one line when the
// tariff was updated, and both runs in the history.
TEST_F(Unattended, ANightlyQuietRunSaysNothingUnlessItCommitted)
{
    server_.Respond(200, ServerList(42));
    ASSERT_EQ(Download().exitCode, 0);
    const QByteArray applied = tariff_.FileBytes();

    const CliResult unchanged = Download({QStringLiteral("--quiet")});
    EXPECT_EQ(unchanged.exitCode, 0);
    EXPECT_EQ(unchanged.out, QString());
    EXPECT_EQ(unchanged.err, QString());
    EXPECT_EQ(tariff_.FileBytes(), applied);
    EXPECT_EQ(Backups().size(), 1);
    EXPECT_EQ(Newest().outcome, HistoryOutcome::Unchanged);

    server_.Respond(200, ServerList(43));
    const CliResult changed = Download({QStringLiteral("--quiet")});
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    EXPECT_EQ(changed.out.count(u'\n'), 1) << changed.out.toStdString();
    EXPECT_TRUE(changed.out.startsWith(QStringLiteral("Tarif aktualisiert: "))) << changed.out.toStdString();
    EXPECT_EQ(Backups().size(), 2);
    EXPECT_EQ(Newest().outcome, HistoryOutcome::Committed);
    const CliResult history = History({QStringLiteral("--limit"), QStringLiteral("1")});
    EXPECT_EQ(history.exitCode, 0);
    EXPECT_TRUE(history.out.contains(QStringLiteral("7d1e-cli"))) << history.out.toStdString();

    server_.Respond(200, ServerList(44, "01.01.2099 06:30"));
    const CliResult waiting = Download({QStringLiteral("--quiet")});
    EXPECT_EQ(waiting.exitCode, 0);
    EXPECT_EQ(waiting.out + waiting.err, QString());
}

TEST_F(Unattended, AListThatTakesEffectLaterWaitsUnlessNow)
{
    server_.Respond(200, ServerList(42, "01.01.2099 06:30"));
    const QByteArray before = tariff_.FileBytes();
    const CliResult waiting = Download();
    EXPECT_EQ(waiting.exitCode, 0);
    EXPECT_EQ(waiting.out, QStringLiteral("Preisliste gilt erst ab 01.01.2099 06:30 Uhr (List-ID 7d1e-cli, Sequenz 42) "
                                          "– sie wird erst dann übernommen, sofort mit --now.\n"));
    EXPECT_EQ(tariff_.FileBytes(), before);
    EXPECT_TRUE(Backups().isEmpty());
    EXPECT_EQ(Newest().outcome, HistoryOutcome::NotYetEffective);

    const CliResult now = Download({QStringLiteral("--now")});
    ASSERT_EQ(now.exitCode, 0) << now.err.toStdString();
    EXPECT_NE(tariff_.FileBytes(), before);
    EXPECT_EQ(Newest().outcome, HistoryOutcome::Committed);
    EXPECT_EQ(Newest().effective, QDateTime(QDate(2099, 1, 1), QTime(6, 30)));
}

TEST_F(Unattended, AFileIsComparedByItsDigest)
{
    const QString list = tariff_.WriteFile(QStringLiteral("liste.csv"), kPlainList);
    const QStringList options{QStringLiteral("--file"), list, QStringLiteral("--if-changed")};
    ASSERT_EQ(Update(options).exitCode, 0);
    const QString sha256 = QString::fromLatin1(QCryptographicHash::hash(kPlainList, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(Newest().sha256, sha256);
    const QByteArray applied = tariff_.FileBytes();

    const CliResult again = Update(options);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, QStringLiteral("Preisliste unverändert (Datei %1, SHA-256 %2…) – nichts zu tun.\n")
                             .arg(list, sha256.left(12)));
    EXPECT_EQ(tariff_.FileBytes(), applied);
    EXPECT_EQ(Newest().outcome, HistoryOutcome::Unchanged);

    // One price changed is a new list; so is the same list after a dry run.
    tariff_.WriteFile(QStringLiteral("liste.csv"), QByteArray(kPlainList).replace("0,02", "0,03"));
    ASSERT_EQ(Update(options + QStringList{QStringLiteral("--dry-run")}).exitCode, 0);
    EXPECT_EQ(tariff_.FileBytes(), applied);
    const CliResult changed = Update(options);
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    EXPECT_TRUE(changed.out.contains(QStringLiteral("Fertig!")));
    EXPECT_EQ(Newest().outcome, HistoryOutcome::Committed);
}

// A run that does not ask makes the list's digest beside its work; the
// history must have it all the same for a later run that asks.
TEST_F(Unattended, AListAppliedWithoutAskingIsKnownToARunThatAsks)
{
    const QString list = tariff_.WriteFile(QStringLiteral("liste.csv"), kPlainList);
    const CliResult applied = Update({QStringLiteral("--file"), list});
    ASSERT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    const QString sha256 = QString::fromLatin1(QCryptographicHash::hash(kPlainList, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(Newest().sha256, sha256);
    const QByteArray tariffAfter = tariff_.FileBytes();

    const CliResult asked = Update({QStringLiteral("--file"), list, QStringLiteral("--if-changed")});
    EXPECT_EQ(asked.exitCode, 0);
    EXPECT_TRUE(asked.out.startsWith(QStringLiteral("Preisliste unverändert"))) << asked.out.toStdString();
    EXPECT_EQ(tariff_.FileBytes(), tariffAfter);
}

TEST_F(Unattended, IfChangedAndNowNeedWhatTheyCompare)
{
    EXPECT_EQ(Update({QStringLiteral("--if-changed")}).exitCode, 2);
    EXPECT_EQ(Update({QStringLiteral("--download"), QStringLiteral("--now")}).exitCode, 2);
    EXPECT_TRUE(server_.RequestLines().isEmpty());
}

TEST_F(Unattended, StatusTellsAScriptWhetherTheServerHasSomethingNew)
{
    server_.Respond(200, ServerList(42));
    const CliResult nothingApplied = Status();
    EXPECT_EQ(nothingApplied.exitCode, 0) << nothingApplied.err.toStdString();
    ASSERT_EQ(Download().exitCode, 0);

    const CliResult same = Status();
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_EQ(same.out, nothingApplied.out); // the text stays as it was
    EXPECT_EQ(same.err, QString());

    server_.Respond(200, ServerList(43));
    EXPECT_EQ(Status().exitCode, 0);
    server_.Respond(404, "nicht da");
    EXPECT_EQ(Status().exitCode, 1);
}

struct UnwritableHistory {
    const char *name;
    bool folderReadOnly; // else the history file alone
};

void PrintTo(const UnwritableHistory &c, std::ostream *os) { *os << c.name; }

class UnattendedUnwritableHistory : public Unattended, public testing::WithParamInterface<UnwritableHistory> {};

TEST_P(UnattendedUnwritableHistory, NeverStopsTheUpdateAndIsToldOnce)
{
    const QString folder = tariff_.FilePath(QStringLiteral("backups"));
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile history(HistoryFile(tariff_.Path()));
    ASSERT_TRUE(history.open(QIODevice::WriteOnly)); // an empty file is an empty SQLite database
    history.close();
    std::optional<ReadOnlyFolder> readOnlyFolder;
    std::optional<ReadOnlyFile> readOnlyFile;
    if (GetParam().folderReadOnly)
        readOnlyFolder.emplace(folder);
    else
        readOnlyFile.emplace(history.fileName());
    // A read-only folder takes no backup either.
    const QStringList noBackup = GetParam().folderReadOnly ? QStringList{QStringLiteral("--no-backup")} : QStringList{};
    const QByteArray before = tariff_.FileBytes();

    const CliResult result =
        Update(QStringList{QStringLiteral("--file"), tariff_.WriteFile(QStringLiteral("liste.csv"), kPlainList)}
               + noBackup);
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_NE(tariff_.FileBytes(), before);
    EXPECT_TRUE(result.out.contains(QStringLiteral("Fertig!")));
    EXPECT_EQ(result.err.count(QStringLiteral("Verlauf")), 1) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("Warnung: Der Verlauf ") + history.fileName()
                                    + QStringLiteral(" konnte nicht geschrieben werden")))
        << result.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, UnattendedUnwritableHistory,
                         testing::Values(UnwritableHistory{"ReadOnlyBackupsFolder", true},
                                         UnwritableHistory{"ReadOnlyHistoryFile", false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Unattended, HistoryShowsEveryRunNewestFirst)
{
    const CliResult empty = History();
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_TRUE(empty.out.startsWith(QStringLiteral("Noch kein Verlauf für ") + tariff_.Path()));
    // The headings alone; reading the output as UTF-8 drops the byte-order mark.
    EXPECT_EQ(History({QStringLiteral("--csv")}).out.toUtf8(), HistoryCsv({}).mid(3));

    const QString list = tariff_.WriteFile(QStringLiteral("liste.csv"), kPlainList);
    ASSERT_EQ(Update({QStringLiteral("--file"), list}).exitCode, 0);
    ASSERT_EQ(Update({QStringLiteral("--file"), tariff_.FilePath(QStringLiteral("fehlt.csv"))}).exitCode, 1);
    ASSERT_EQ(Update({QStringLiteral("--file"), list, QStringLiteral("--dry-run")}).exitCode, 0);

    const CliResult all = History();
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    QStringList lines = all.out.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 5) << all.out.toStdString(); // a title, the headings, three runs
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Beginn")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("Probelauf: wäre gespeichert")));
    EXPECT_TRUE(lines[3].contains(QStringLiteral("fehlgeschlagen: ")));
    EXPECT_TRUE(lines[3].contains(QStringLiteral("fehlt.csv")));
    EXPECT_TRUE(lines[4].contains(QStringLiteral("  gespeichert  ")));
    EXPECT_TRUE(lines[4].contains(Backups().constFirst()));

    const CliResult newest = History({QStringLiteral("--limit"), QStringLiteral("1")});
    EXPECT_EQ(newest.out.trimmed().split(u'\n').size(), 3);
    const CliResult csv = History({QStringLiteral("--csv"), QStringLiteral("--limit"), QStringLiteral("2")});
    EXPECT_TRUE(csv.out.startsWith(QStringLiteral("Beginn;Ende;")));
    EXPECT_EQ(csv.out.count(QStringLiteral("\r\n")), 3);

    for (const char *limit : {"0", "-1", "zwei"})
        EXPECT_EQ(History({QStringLiteral("--limit"), QString::fromLatin1(limit)}).exitCode, 2) << limit;
}

TEST_F(Unattended, AHistoryThatCannotBeReadEndsWithOne)
{
    ASSERT_TRUE(QDir().mkpath(tariff_.FilePath(QStringLiteral("backups"))));
    QFile garbage(HistoryFile(tariff_.Path()));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    const CliResult result = History();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("lässt sich nicht lesen"))) << result.err.toStdString();
}

} // namespace
} // namespace preisliste::test
