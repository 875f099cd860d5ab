#include "history/updatehistory.h"

#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace preisliste {
namespace {

using test::TempTariff;

const QDateTime kStart(QDate(2026, 12, 8), QTime(3, 0, 5, 250));

HistoryRecord Committed(const QString &sha256, int minute = 0)
{
    HistoryRecord record;
    record.started = kStart.addSecs(60 * minute);
    record.ended = record.started.addMSecs(1500);
    record.customerId = QStringLiteral("K-7");
    record.server = QStringLiteral("http://127.0.0.1:8080");
    record.listId = QStringLiteral("7d1e");
    record.listSequence = 42;
    record.sha256 = sha256;
    record.outcome = HistoryOutcome::Committed;
    return record;
}

// Every field, with the optional ones present, survives the file.
HistoryRecord Full()
{
    HistoryRecord record = Committed(QStringLiteral("ab12"));
    record.sourceFile = QStringLiteral("/srv/listen/preise.csv");
    record.effective = QDateTime(QDate(2027, 1, 1), QTime(0, 0));
    record.merge = MergeStatistics{1, 2, 3, 4, 5};
    record.repriced = 269;
    record.changes = ChangeCounts{.rowsBefore = 417, .rowsAfter = 438, .added = 27, .removed = 6, .removedRows = 7,
                                  .renamed = 1, .raised = 2, .lowered = 3, .purchaseChanged = 4, .belowCost = 5,
                                  .pricedZero = 6, .skippedLines = 8};
    record.outcome = HistoryOutcome::Refused;
    record.message = QStringLiteral("Das Update würde „alles“ entfernen.");
    record.dryRun = true;
    record.backupFile = QStringLiteral("/db/backups/Numbers-2026-12-08_03-00-05.mdb");
    record.reportFile = QStringLiteral("/db/backups/Numbers-2026-12-08_03-00-05.csv");
    return record;
}

void ExpectSame(const HistoryRecord &read, const HistoryRecord &written)
{
    EXPECT_EQ(read.started, written.started);
    EXPECT_EQ(read.ended, written.ended);
    EXPECT_EQ(read.DurationMs(), written.DurationMs());
    EXPECT_EQ(read.sourceFile, written.sourceFile);
    EXPECT_EQ(read.customerId, written.customerId);
    EXPECT_EQ(read.server, written.server);
    EXPECT_EQ(read.listId, written.listId);
    EXPECT_EQ(read.listSequence, written.listSequence);
    EXPECT_EQ(read.effective, written.effective);
    EXPECT_EQ(read.sha256, written.sha256);
    ASSERT_EQ(read.merge.has_value(), written.merge.has_value());
    for (const auto field : kMergeFigures) {
        if (read.merge) {
            EXPECT_EQ((*read.merge).*field, (*written.merge).*field);
        }
    }
    EXPECT_EQ(read.repriced, written.repriced);
    ASSERT_EQ(read.changes.has_value(), written.changes.has_value());
    for (const auto field : kChangeFigures) {
        if (read.changes) {
            EXPECT_EQ((*read.changes).*field, (*written.changes).*field);
        }
    }
    EXPECT_EQ(read.outcome, written.outcome);
    EXPECT_EQ(read.message, written.message);
    EXPECT_EQ(read.dryRun, written.dryRun);
    EXPECT_EQ(read.backupFile, written.backupFile);
    EXPECT_EQ(read.reportFile, written.reportFile);
}

TEST(UpdateHistory, KeepsEveryFieldAndGivesTheNewestFirst)
{
    TempTariff tariff;
    const HistoryRecord sparse = Committed(QString());
    ASSERT_EQ(AppendToHistory(tariff.Path(), Full()), QString());
    ASSERT_EQ(AppendToHistory(tariff.Path(), sparse), QString());
    EXPECT_EQ(QFileInfo(HistoryFile(tariff.Path())).absolutePath(),
              QFileInfo(tariff.FilePath(QStringLiteral("backups"))).absoluteFilePath());

    QString error;
    const std::optional<QList<HistoryRecord>> records = ReadHistory(tariff.Path(), 0, error);
    ASSERT_TRUE(records) << error.toStdString();
    ASSERT_EQ(records->size(), 2);
    ExpectSame(records->at(0), sparse); // absent figures stay absent, not 0
    ExpectSame(records->at(1), Full());

    const std::optional<QList<HistoryRecord>> newest = ReadHistory(tariff.Path(), 1, error);
    ASSERT_TRUE(newest);
    ASSERT_EQ(newest->size(), 1);
    EXPECT_TRUE(newest->constFirst().sha256.isEmpty());
}

TEST(UpdateHistory, NoHistoryYetIsNoErrorAndCreatesNothing)
{
    TempTariff tariff;
    QString error;
    const std::optional<QList<HistoryRecord>> records = ReadHistory(tariff.Path(), 0, error);
    ASSERT_TRUE(records);
    EXPECT_TRUE(records->isEmpty());
    EXPECT_FALSE(LastAppliedList(tariff.Path(), error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(tariff.FilePath(QStringLiteral("backups"))));
}

TEST(UpdateHistory, AFileThatIsNoHistoryCannotBeRead)
{
    TempTariff tariff;
    ASSERT_TRUE(QDir().mkpath(tariff.FilePath(QStringLiteral("backups"))));
    QFile garbage(HistoryFile(tariff.Path()));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();

    QString error;
    EXPECT_FALSE(ReadHistory(tariff.Path(), 0, error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Der Verlauf ") + HistoryFile(tariff.Path()) + " lässt sich nicht lesen"))
        << error.toStdString();
    EXPECT_FALSE(LastAppliedList(tariff.Path(), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(AppendToHistory(tariff.Path(), Committed(QStringLiteral("ab"))).isEmpty());
}

TEST(UpdateHistory, AReadOnlyFolderFailsTheAppendWithAReason)
{
    TempTariff tariff;
    ASSERT_TRUE(QDir().mkpath(tariff.FilePath(QStringLiteral("backups"))));
    const test::ReadOnlyFolder readOnly(tariff.FilePath(QStringLiteral("backups")));
    const QString failure = AppendToHistory(tariff.Path(), Committed(QStringLiteral("ab")));
    EXPECT_TRUE(failure.startsWith(QStringLiteral("Der Verlauf ") + HistoryFile(tariff.Path())
                                   + QStringLiteral(" konnte nicht geschrieben werden: ")))
        << failure.toStdString();
}

// Only a committed update that brought a list says which list the tariff holds.
TEST(UpdateHistory, TheListAppliedLastIsTheNewestCommittedOneWithAList)
{
    TempTariff tariff;
    auto append = [&](HistoryRecord record) { ASSERT_EQ(AppendToHistory(tariff.Path(), record), QString()); };
    append(Committed(QStringLiteral("first"), 0));
    append(Committed(QStringLiteral("second"), 1));
    for (const HistoryOutcome outcome : {HistoryOutcome::Failed, HistoryOutcome::Stopped, HistoryOutcome::Refused,
                                         HistoryOutcome::Unchanged, HistoryOutcome::NotYetEffective}) {
        HistoryRecord notApplied = Committed(QStringLiteral("not applied"), 2);
        notApplied.outcome = outcome;
        append(notApplied);
    }
    HistoryRecord dryRun = Committed(QStringLiteral("dry run"), 3);
    dryRun.dryRun = true;
    append(dryRun);
    append(Committed(QString(), 4)); // re-priced only, without a list

    QString error;
    const std::optional<HistoryRecord> last = LastAppliedList(tariff.Path(), error);
    ASSERT_TRUE(last) << error.toStdString();
    EXPECT_EQ(last->sha256, QStringLiteral("second"));
}

TEST(UpdateHistory, AServerListIsTheSameOnlyByIdSequenceAndServer)
{
    const HistoryRecord last = Committed(QStringLiteral("ab"));
    struct Case {
        const char *server;
        const char *listId;
        qint32 sequence;
        bool same;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8080", "7d1e", 42, true},
        {"http://127.0.0.1:8080", "7d1e", 43, false},
        {"http://127.0.0.1:8080", "7d1f", 42, false},
        {"http://127.0.0.1:9090", "7d1e", 42, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.server) + " " + c.listId + " " + std::to_string(c.sequence));
        EXPECT_EQ(IsSameDownloadedList(last, QString::fromLatin1(c.server), QString::fromLatin1(c.listId), c.sequence),
                  c.same);
    }
    HistoryRecord fromFile = last;
    fromFile.server.clear();
    fromFile.customerId.clear();
    EXPECT_FALSE(IsSameDownloadedList(fromFile, QString(), QStringLiteral("7d1e"), 42));
}

} // namespace
} // namespace preisliste
