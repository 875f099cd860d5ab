// The change report compares two states of a tariff by prefix. Each case
// builds both states in a real SQLite file and checks what the report finds.
#include "report/changereport.h"

#include "db/sqliteconnection.h"
#include "run/updaterun.h"
#include "support/testsupport.h"

#include <QBuffer>

#include <sqlite3.h>

namespace preisliste {
namespace {

using test::TempTariff;

class NoStop : public ProgressSink {
public:
    bool SetProgress(int, int) override { return false; }
    bool StopRequested() const override { return false; }
};

class ChangeReportTest : public testing::Test {
protected:
    void SetUp() override
    {
        tariff_.Execute(QStringLiteral("CREATE TABLE Before AS SELECT * FROM Numbers"));
        tariff_.Execute(QStringLiteral("CREATE TABLE Skipped (LineNumber INTEGER, Line TEXT, Reason TEXT)"));
    }
    void Before(const QString &values) { Insert(QStringLiteral("Before"), values); }
    void After(const QString &values) { Insert(QStringLiteral("Numbers"), values); }

    // Compares Before with Numbers at 19 % VAT; the CSV goes to csv_.
    // With `beforeOnItsOwnConnection` the old rows are read as a run reads
    // them: ahead, on a thread of their own.
    ChangeReport Compare(bool beforeOnItsOwnConnection = false)
    {
        QString openError;
        const auto database = SqliteConnection::Open(tariff_.Path(), SQLITE_OPEN_READONLY, 1000, openError);
        EXPECT_TRUE(database) << openError.toStdString();
        const auto own = beforeOnItsOwnConnection
                             ? SqliteConnection::Open(tariff_.Path(), SQLITE_OPEN_READONLY, 1000, openError)
                             : nullptr;
        csv_.setData({});
        csv_.open(QIODevice::WriteOnly);
        QString error;
        NoStop noStop;
        const std::optional<ChangeReport> report =
            CompareTariffs({{own ? own.get() : database.get(), QStringLiteral("Before")},
                            {database.get(), QStringLiteral("Numbers")}, QStringLiteral("Skipped"), 0.19},
                           &csv_, noStop, error);
        csv_.close();
        EXPECT_TRUE(report) << error.toStdString();
        return report.value_or(ChangeReport{});
    }
    // The CSV's lines after the header, without the BOM.
    QStringList CsvLines() const
    {
        QStringList lines = QString::fromUtf8(csv_.data().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        lines.removeFirst();
        return lines;
    }

    TempTariff tariff_;
    QBuffer csv_;

private:
    void Insert(const QString &table, const QString &values)
    {
        tariff_.Execute(QStringLiteral("INSERT INTO %1 (Number, Name, Price_EUR, Rate_EK) VALUES %2").arg(table, values));
    }
};

TEST_F(ChangeReportTest, FindsEveryKindOfChangeByPrefix)
{
    Before("('001', 'USA', 0.10, 0.05), ('0033', 'Frankreich', 0.10, 0.05), ('0041', 'Schweiz', 0.10, 0.05), "
           "('0043', 'Österreich', 0.10, 0.05), ('0049', 'Deutschland', 0.10, 0.05), ('0090', 'Türkei', 0.10, 0.05)");
    After("('001', 'USA', 0.10, 0.05), ('0033', 'France', 0.10, 0.05), ('0041', 'Schweiz', 0.20, 0.05), "
          "('0043', 'Österreich', 0.05, 0.05), ('0049', 'Deutschland', 0.10, 0.06), ('0044', 'UK', 0.10, 0.09), "
          "('0048', 'Polen', 0, 0.01)");
    tariff_.Execute(QStringLiteral("INSERT INTO Skipped VALUES (3, 'x;y;abc', 'Preis ist keine Zahl')"));
    const ChangeReport report = Compare();
    const ChangeCounts &counts = report.counts;
    EXPECT_EQ(counts.rowsBefore, 6);
    EXPECT_EQ(counts.rowsAfter, 7);
    EXPECT_EQ(counts.added, 2);           // UK, Polen
    EXPECT_EQ(counts.removed, 1);         // Türkei
    EXPECT_EQ(counts.renamed, 1);         // France
    EXPECT_EQ(counts.raised, 1);          // Schweiz
    EXPECT_EQ(counts.lowered, 1);         // Österreich
    EXPECT_EQ(counts.purchaseChanged, 1); // Deutschland
    EXPECT_EQ(counts.belowCost, 2);       // Österreich, UK: 0,10 < 0,09 x 1,19
    EXPECT_EQ(counts.pricedZero, 1);      // Polen
    EXPECT_EQ(counts.skippedLines, 1);
    // The unchanged USA is not in the CSV; every other prefix and the skipped line are.
    EXPECT_EQ(CsvLines(), (QStringList{
                              QStringLiteral("0033;France;umbenannt;0,1000;0,1000;0,0500;0,0595;0,0;Frankreich;;;"),
                              QStringLiteral("0041;Schweiz;teurer;0,1000;0,2000;0,0500;0,0595;100,0;Schweiz;;;"),
                              QStringLiteral("0043;Österreich;billiger, unter Einkauf;0,1000;0,0500;0,0500;0,0595;-50,0;Österreich;;;"),
                              QStringLiteral("0044;UK;neu, unter Einkauf;;0,1000;0,0900;0,1071;;;;;"),
                              QStringLiteral("0048;Polen;neu, Preis 0 oder leer;;0,0000;0,0100;0,0119;;;;;"),
                              QStringLiteral("0049;Deutschland;Einkauf geändert;0,1000;0,1000;0,0600;0,0714;0,0;Deutschland;;;"),
                              QStringLiteral("0090;Türkei;entfernt;0,1000;;0,0500;;;Türkei;;;"),
                              QStringLiteral(";;übersprungen;;;;;;;3;\"x;y;abc\";Preis ist keine Zahl"),
                          }));
}

// Far more rows than are read ahead, of every kind of change, with names,
// without names and with prefixes held twice: reading the old rows ahead
// gives the report byte for byte.
TEST_F(ChangeReportTest, ReadingTheOldRowsAheadChangesNothing)
{
    tariff_.Execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 39999) "
        "INSERT INTO Before (Number, Name, Price_EUR, Rate_EK) SELECT '49' || (100000 + i / 2 * 2 + (i % 7 = 0)), "
        "CASE WHEN i % 11 = 0 THEN NULL ELSE 'Ziel ' || (i % 700) END, 0.05 + (i % 5) * 0.01, 0.03 FROM n"));
    tariff_.Execute(QStringLiteral(
        "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) SELECT Number, "
        "CASE WHEN rowid % 13 = 0 THEN Name || ' Mobil' ELSE Name END, "
        "CASE WHEN rowid % 3 = 0 THEN Price_EUR + 0.01 WHEN rowid % 17 = 0 THEN 0 ELSE Price_EUR END, "
        "CASE WHEN rowid % 19 = 0 THEN 0.2 ELSE Rate_EK END FROM Before WHERE rowid % 23 <> 0"));
    After(QStringLiteral("('4990000', 'Neu', 0.5, 0.1)"));

    const ChangeReport direct = Compare();
    const QByteArray directCsv = csv_.data();
    const ChangeReport readAhead = Compare(true);
    EXPECT_EQ(csv_.data(), directCsv);
    const QStringList lines = CsvLines();
    EXPECT_GT(lines.size(), 10000);
    // Each line's texts where they belong: the lines are packed for the
    // thread that writes them, and unpacked there.
    for (const QString &line : lines) {
        const QStringList fields = line.split(u';');
        ASSERT_EQ(fields.size(), 12) << line.toStdString();
        EXPECT_TRUE(fields[0].startsWith(QStringLiteral("49"))) << line.toStdString();
        for (const qsizetype name : {1, 8})
            EXPECT_TRUE(fields[name].isEmpty() || fields[name].startsWith(QStringLiteral("Ziel ")) || fields[name] == "Neu")
                << line.toStdString();
    }
    const auto counts = [](const ChangeCounts &c) {
        return std::vector<qint64>{c.rowsBefore, c.rowsAfter,       c.added,     c.removed,    c.removedRows,
                                   c.renamed,    c.raised,          c.lowered,   c.belowCost,  c.pricedZero,
                                   c.purchaseChanged};
    };
    EXPECT_EQ(counts(readAhead.counts), counts(direct.counts));
    EXPECT_EQ(readAhead.counts.rowsBefore, 40000);
    EXPECT_EQ(readAhead.largestRaises.size(), ChangeReport::kLargestChangesShown);
}

// A device that takes only its first bytes, as a full disk does.
class FillingDevice : public QIODevice {
public:
    explicit FillingDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        if (size > room_) {
            setErrorString(QStringLiteral("Kein Platz auf dem Gerät"));
            return -1;
        }
        room_ -= size;
        return size;
    }

private:
    qint64 room_;
};

TEST_F(ChangeReportTest, AReportThatCannotBeWrittenFailsWithTheReason)
{
    tariff_.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 29999) "
                                   "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) "
                                   "SELECT '49' || (100000 + i), 'Ziel', 0.1, 0.05 FROM n"));
    QString openError;
    const auto database = SqliteConnection::Open(tariff_.Path(), SQLITE_OPEN_READONLY, 1000, openError);
    ASSERT_TRUE(database);
    for (const qint64 room : {qint64(0), qint64(100), qint64(200000)}) {
        FillingDevice device(room);
        QString error;
        NoStop noStop;
        EXPECT_FALSE(CompareTariffs({{database.get(), QStringLiteral("Before")},
                                     {database.get(), QStringLiteral("Numbers")}, QStringLiteral("Skipped"), 0.19},
                                    &device, noStop, error))
            << room;
        EXPECT_EQ(error, QStringLiteral("Der Bericht konnte nicht geschrieben werden: Kein Platz auf dem Gerät"))
            << room;
    }
}

TEST_F(ChangeReportTest, APriceStoredWithAFloatingPointTailIsNoChange)
{
    Before("('0043', 'Österreich', 0.1, 0.05)");
    After("('0043', 'Österreich', 0.09999999999, 0.0500000001)");
    const ChangeReport report = Compare();
    EXPECT_EQ(report.counts.raised + report.counts.lowered + report.counts.purchaseChanged, 0);
    EXPECT_TRUE(CsvLines().isEmpty());
}

TEST_F(ChangeReportTest, APrefixHeldTwiceIsOneDestinationButAllItsRowsCountWhenRemoved)
{
    Before("('0033', 'Frankreich', 0.10, 0.05), ('0033', 'Frankreich 2', 0.30, 0.05), ('0043', 'Österreich', 0.1, 0.05)");
    After("('0043', 'Österreich', 0.1, 0.05), ('0043', 'Österreich Kopie', 0.5, 0.05)");
    const ChangeReport report = Compare();
    EXPECT_EQ(report.counts.removed, 1);
    EXPECT_EQ(report.counts.removedRows, 2);
    EXPECT_EQ(report.counts.rowsBefore, 3);
    EXPECT_EQ(report.counts.rowsAfter, 2);
    EXPECT_EQ(report.counts.renamed + report.counts.raised, 0) << "the first row stands for its prefix";
}

TEST_F(ChangeReportTest, KeepsOnlyTheLargestChangesLargestFirst)
{
    QStringList before, after;
    for (int i = 1; i <= 15; ++i) {
        before << QStringLiteral("('00%1', 'Ziel', 1.0, 0.1)").arg(100 + i);
        after << QStringLiteral("('00%1', 'Ziel', %2, 0.1)").arg(100 + i).arg(1.0 + i / 100.0);
    }
    Before(before.join(u','));
    After(after.join(u','));
    const ChangeReport report = Compare();
    EXPECT_EQ(report.counts.raised, 15);
    ASSERT_EQ(report.largestRaises.size(), ChangeReport::kLargestChangesShown);
    EXPECT_EQ(report.largestRaises.first().prefix, QStringLiteral("00115"));
    EXPECT_EQ(report.largestRaises.last().prefix, QStringLiteral("00106"));
    EXPECT_TRUE(report.largestCuts.isEmpty());
}

TEST_F(ChangeReportTest, NamesFromAListCannotBreakTheCsvOrRunAsAFormula)
{
    Before("('0043', 'Österreich', 0.1, 0.05)");
    After("('0043', '=HYPERLINK(\"x\";\"y\")', 0.1, 0.05)");
    Compare();
    EXPECT_EQ(CsvLines().value(0).section(u';', 0, 1),
              QStringLiteral("0043;\"'=HYPERLINK(\"\"x\"\""));
    EXPECT_TRUE(CsvLines().value(0).contains(QStringLiteral("\"'=HYPERLINK(\"\"x\"\";\"\"y\"\")\";umbenannt;")));
}

struct GuardCase {
    qint64 removedRows;
    qint64 rowsBefore;
    double maxPercent;
    bool refused;
};

class RemovalGuard : public testing::TestWithParam<GuardCase> {};

TEST_P(RemovalGuard, RefusesOnlyMoreThanTheAllowedShare)
{
    ChangeCounts counts;
    counts.removedRows = GetParam().removedRows;
    counts.rowsBefore = GetParam().rowsBefore;
    EXPECT_EQ(RemovesTooMuch(counts, GetParam().maxPercent), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(Shares, RemovalGuard,
                         testing::Values(GuardCase{10, 100, 10, false}, GuardCase{11, 100, 10, true},
                                         GuardCase{1, 3, 10, true}, GuardCase{0, 0, 10, false},
                                         GuardCase{100, 100, 100, false}, GuardCase{1, 1000, 0, true},
                                         GuardCase{0, 1000, 0, false}, GuardCase{369, 417, 10, true}));

} // namespace
} // namespace preisliste
