#include "history/historyreport.h"

#include "support/testsupport.h"

namespace preisliste {
namespace {

const QDateTime kStart(QDate(2026, 12, 8), QTime(3, 0, 5));

HistoryRecord Record(HistoryOutcome outcome, const QString &message = {})
{
    HistoryRecord record;
    record.started = kStart;
    record.ended = kStart.addMSecs(2500);
    record.sourceFile = QStringLiteral("/srv/listen/preise.csv");
    record.outcome = outcome;
    record.message = message;
    return record;
}

TEST(HistoryReport, TableHasGermanHeadingsAlignedColumnsAndKeepsTheOrder)
{
    HistoryRecord downloaded = Record(HistoryOutcome::Committed);
    downloaded.sourceFile.clear();
    downloaded.customerId = QStringLiteral("K-7");
    downloaded.server = QStringLiteral("http://127.0.0.1:8080");
    downloaded.listId = QStringLiteral("7d1e");
    downloaded.listSequence = 42;
    downloaded.repriced = 1234;
    downloaded.changes = ChangeCounts{.added = 27, .removed = 6};
    downloaded.backupFile = QStringLiteral("/db/backups/Numbers-2026-12-08_03-00-05.mdb");
    const QStringList lines =
        HistoryTable({downloaded, Record(HistoryOutcome::Unchanged)}, QLocale(QLocale::German)).split(u'\n');

    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Beginn")));
    for (const char *heading : {"Dauer", "Ergebnis", "Quelle", "List-ID", "Sequenz", "Gültig ab", "Neue Ziele",
                                "Entfernte Ziele", "Neu berechnet", "Sicherung"})
        EXPECT_TRUE(lines[0].contains(QString::fromUtf8(heading))) << heading;
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("08.12.2026 03:00:05  2,5 s  gespeichert")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Kunden-ID K-7, http://127.0.0.1:8080")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("1.234")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("Numbers-2026-12-08_03-00-05.mdb")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("unverändert")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("/srv/listen/preise.csv")));
    // Each column starts where its heading does.
    const qsizetype source = lines[0].indexOf(QStringLiteral("Quelle"));
    EXPECT_EQ(lines[1].indexOf(QStringLiteral("Kunden-ID")), source);
    EXPECT_EQ(lines[2].indexOf(QStringLiteral("/srv/")), source);
}

TEST(HistoryReport, CsvIsForGermanSpreadsheetsAndNeverRunsAFormula)
{
    HistoryRecord failed = Record(HistoryOutcome::Failed, QStringLiteral("=HYPERLINK(\"x\";\"y\")"));
    failed.sourceFile = QStringLiteral("+liste;1.csv");
    failed.merge = MergeStatistics{435, 0, 1, 2, 3};
    const QByteArray csv = HistoryCsv({failed, Record(HistoryOutcome::Committed)});

    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF" "Beginn;Ende;Dauer in s;Ergebnis;"));
    QList<QByteArray> lines = csv.mid(3).split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray()); // the last line ends, too
    ASSERT_EQ(lines.size(), 3);
    for (const QByteArray &line : lines) {
        EXPECT_TRUE(line.endsWith('\r'));
        // No field holds a separator outside quotes here but the two quoted ones.
        EXPECT_EQ(line.count(';') - (line.contains("HYPERLINK") ? 2 : 0), lines[0].count(';')) << line.constData();
    }
    EXPECT_TRUE(lines[1].startsWith("08.12.2026 03:00:05;08.12.2026 03:00:07;2,5;fehlgeschlagen;nein;"));
    EXPECT_TRUE(lines[1].contains(";\"'=HYPERLINK(\"\"x\"\";\"\"y\"\")\";")) << lines[1].constData();
    EXPECT_TRUE(lines[1].contains(";\"'+liste;1.csv\";"));
    EXPECT_TRUE(lines[1].contains(";435;0;1;2;3;")); // the merge's figures
    EXPECT_TRUE(lines[2].contains(";;;;;")); // figures a run did not reach stay empty, not 0
}

} // namespace
} // namespace preisliste
