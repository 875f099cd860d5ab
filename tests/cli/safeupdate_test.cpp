// A bad or cut-off list must never damage the tariff silently: the removal
// guard, the skipped lines, the dry run, the report and diff, end to end on
// a copy of the sample tariff through the built program.
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace preisliste {
namespace {

using test::CliResult;
using test::RunCli;
using test::TempTariff;


// The bad list of an operator's report, with one good line so that the
// list is not empty once the bad ones are skipped.
const QByteArray kBadList = "#Vorwahl;Ziel;Preis\n004930;Berlin;abc\n0033;Frankreich;-1\n"
                            "0043;\xC3\x96sterreich;0,0150\n";

class SafeUpdate : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tariff_.CopySample());
        settings_ = tariff_.WriteFile(QStringLiteral("Telvoro.ini"), "[Options]\nMwSt=19\nRatingDefaultMargin=60\n");
    }

    CliResult Update(const QString &list, const QStringList &options = {})
    {
        return RunCli(QStringList{QStringLiteral("update"), QStringLiteral("--db"), tariff_.Path(),
                                  QStringLiteral("--file"), list, QStringLiteral("--settings"), settings_}
                      + options);
    }
    QString List(const QByteArray &content) { return tariff_.WriteFile(QStringLiteral("liste.csv"), content); }
    QString SampleList() const { return test::kSampleDir + QStringLiteral("/preise.csv"); }
    // The backups and their reports; the history beside them is no backup.
    QStringList Backups() const
    {
        return QDir(tariff_.FilePath(QStringLiteral("backups")))
            .entryList({QStringLiteral("*.mdb"), QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    }

    TempTariff tariff_;
    QString settings_;
};

TEST_F(SafeUpdate, AListThatWouldRemoveMostOfTheTariffIsRefusedAndChangesNothing)
{
    const QByteArray before = tariff_.FileBytes();
    const CliResult result = Update(List(kBadList));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("369 von 417 Tarifzeilen"))) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("--max-removed 100"))) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("Fertig!")));
    EXPECT_EQ(tariff_.FileBytes(), before);
    EXPECT_TRUE(Backups().isEmpty());
}

TEST_F(SafeUpdate, AllowedToRemoveItCommitsButNothingSellsAtZeroFromABadLine)
{
    const CliResult result = Update(List(kBadList), {QStringLiteral("--max-removed"), QStringLiteral("100")});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("Zeile 2: „004930;Berlin;abc“ – Preis ist keine Zahl")))
        << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("Zeile 3: „0033;Frankreich;-1“ – Preis ist negativ")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("Entfernte Ziele: 369"))) << result.out.toStdString();
    // Berlin keeps its old row and price; France is gone, not sold at -1,89.
    EXPECT_EQ(tariff_.Rows(QStringLiteral("SELECT Number, Price_EUR > 0 FROM Numbers WHERE Number IN ('030', '0033')")),
              QStringList{QStringLiteral("030|1")});
    EXPECT_EQ(tariff_.Rows(QStringLiteral("SELECT count(*) FROM Numbers WHERE Price_EUR < 0")), QStringList{"0"});
    EXPECT_EQ(Backups().filter(QStringLiteral(".mdb")).size(), 1);
}

TEST_F(SafeUpdate, AListCutOffInTheMiddleOfALineIsCaughtByTheGuard)
{
    QFile sample(SampleList());
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray whole = sample.readAll();
    // A third of the list, ending inside a price: what a broken download leaves.
    const qsizetype cut = whole.indexOf(';', whole.indexOf(';', whole.size() / 3) + 1) + 3;
    const QByteArray before = tariff_.FileBytes();
    const CliResult result = Update(List(whole.left(cut)));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("von 417 Tarifzeilen entfernen"))) << result.err.toStdString();
    EXPECT_EQ(tariff_.FileBytes(), before);
}

TEST_F(SafeUpdate, ACommaSeparatedListIsNamedAsSuch)
{
    const QByteArray before = tariff_.FileBytes();
    const CliResult result = Update(List("#Vorwahl;Ziel;Preis\n0043,\xC3\x96sterreich,0.0150\n0049,Deutschland,0.01\n"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("durch Kommas getrennt"))) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("müssen durch „;“ getrennt sein")));
    EXPECT_EQ(tariff_.FileBytes(), before);
}

TEST_F(SafeUpdate, ADryRunShowsEverythingAndLeavesTheFileAsItWas)
{
    const QByteArray before = tariff_.FileBytes();
    const QString reportFile = tariff_.FilePath(QStringLiteral("probe.csv"));
    const CliResult dry = Update(SampleList(), {QStringLiteral("--dry-run"), QStringLiteral("--report"), reportFile});
    ASSERT_EQ(dry.exitCode, 0) << dry.err.toStdString();
    EXPECT_EQ(tariff_.FileBytes(), before);
    EXPECT_TRUE(Backups().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(reportFile));
    EXPECT_TRUE(dry.out.contains(QStringLiteral("Probelauf: Nichts wurde gespeichert")));
    EXPECT_FALSE(dry.out.contains(QStringLiteral("Fertig!")));

    // The real update then prints what the dry run promised.
    const CliResult real = Update(SampleList());
    ASSERT_EQ(real.exitCode, 0) << real.err.toStdString();
    const auto fromStatistics = [](const QString &out) {
        return out.section(QStringLiteral("[Update Info]"), 1).section(QStringLiteral("records updated."), 0, 0);
    };
    const auto fromReport = [](const QString &out) {
        return out.section(QStringLiteral("Änderungen im Tarif"), 1);
    };
    EXPECT_FALSE(fromStatistics(dry.out).isEmpty());
    EXPECT_EQ(fromStatistics(dry.out), fromStatistics(real.out));
    EXPECT_EQ(fromReport(dry.out).section(QStringLiteral("Probelauf"), 0, 0), fromReport(real.out));
    EXPECT_EQ(dry.err, real.err);
}

TEST_F(SafeUpdate, ADryRunTheGuardWouldRefuseEndsWithOne)
{
    const QByteArray before = tariff_.FileBytes();
    const CliResult result = Update(List(kBadList), {QStringLiteral("--dry-run")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.contains(QStringLiteral("Entfernte Ziele: 369"))) << result.out.toStdString();
    EXPECT_TRUE(result.err.contains(QStringLiteral("369 von 417")));
    EXPECT_EQ(tariff_.FileBytes(), before);
}

TEST_F(SafeUpdate, FailedRunsLeaveTheKeptBackupsAsTheyWere)
{
    ASSERT_EQ(Update(SampleList()).exitCode, 0);
    const QStringList kept = Backups();
    ASSERT_EQ(kept.size(), 2) << kept.join(u' ').toStdString(); // the backup and its report
    for (int run = 0; run < 11; ++run)
        ASSERT_EQ(Update(tariff_.FilePath(QStringLiteral("fehlt.csv"))).exitCode, 1);
    EXPECT_EQ(Backups(), kept);
}

// The report kept beside the backup opens in a German spreadsheet as it is.
TEST_F(SafeUpdate, TheReportBesideTheBackupIsSemicolonSeparatedUtf8WithDecimalCommas)
{
    const CliResult result = Update(SampleList());
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QStringList reports = Backups().filter(QStringLiteral(".csv"));
    ASSERT_EQ(reports.size(), 1);
    ASSERT_EQ(QFileInfo(reports.constFirst()).completeBaseName(),
              QFileInfo(Backups().filter(QStringLiteral(".mdb")).constFirst()).completeBaseName());
    QFile file(tariff_.FilePath(QStringLiteral("backups/") + reports.constFirst()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QStringList header = lines.value(0).split(u';');
    EXPECT_EQ(header.mid(0, 7), (QStringList{QStringLiteral("Vorwahl"), QStringLiteral("Ziel"), QStringLiteral("Art"),
                                             QStringLiteral("alter Preis"), QStringLiteral("neuer Preis"),
                                             QStringLiteral("Einkauf netto"), QStringLiteral("Einkauf brutto")}));
    const QStringList austria = lines.filter(QRegularExpression(QStringLiteral("^0043;Österreich;"))).value(0).split(u';');
    ASSERT_EQ(austria.size(), header.size()) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(austria.at(5).contains(u',')) << austria.join(u';').toStdString(); // 0,0120
    const QStringList skipped = lines.filter(QStringLiteral("übersprungen"));
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped.constFirst().contains(QStringLiteral("00870;Inmarsat;4,9511")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("Bericht zur Sicherung: ")));
}

TEST_F(SafeUpdate, DiffShowsWhatChangedSinceABackupAlsoByHand)
{
    ASSERT_EQ(Update(SampleList()).exitCode, 0);
    tariff_.Execute(QStringLiteral("UPDATE Numbers SET Price_EUR = 0 WHERE Number = '0043'"));
    tariff_.Execute(QStringLiteral("DELETE FROM Numbers WHERE Number = '0041'"));
    const QString backup = Backups().filter(QStringLiteral(".mdb")).constFirst();

    const QString reportFile = tariff_.FilePath(QStringLiteral("diff.csv"));
    const CliResult byName = RunCli({QStringLiteral("diff"), QStringLiteral("--db"), tariff_.Path(),
                                     QStringLiteral("--settings"), settings_, QStringLiteral("--report"), reportFile,
                                     backup});
    ASSERT_EQ(byName.exitCode, 0) << byName.err.toStdString();
    // Against the state before the update: the update's changes and the hand edits.
    EXPECT_TRUE(byName.out.contains(QStringLiteral("Änderungen im Tarif (417 Zeilen vorher, 437 nachher)")))
        << byName.out.toStdString();
    EXPECT_TRUE(byName.err.contains(QStringLiteral("Verkaufspreis 0 oder keinen"))) << byName.err.toStdString();
    QFile csv(reportFile);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n0041;Schweiz;entfernt;"))) << text.left(400).toStdString();
    const QString austria = text.section(QStringLiteral("\r\n0043;Österreich;"), 1).section(u'\r', 0, 0);
    EXPECT_TRUE(austria.startsWith(QStringLiteral("billiger")) && austria.contains(QStringLiteral("Preis 0 oder leer")))
        << austria.toStdString();

    // Without a name: the newest backup, the same comparison.
    const CliResult newest = RunCli({QStringLiteral("diff"), QStringLiteral("--db"), tariff_.Path(),
                                     QStringLiteral("--settings"), settings_});
    ASSERT_EQ(newest.exitCode, 0) << newest.err.toStdString();
    EXPECT_EQ(newest.out.section(u'\n', 1), byName.out.section(u'\n', 2));
}

TEST_F(SafeUpdate, DiffWithoutAnyBackupSaysSo)
{
    const CliResult result = RunCli({QStringLiteral("diff"), QStringLiteral("--db"), tariff_.Path(),
                                     QStringLiteral("--settings"), settings_});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("Es gibt keine Sicherung"))) << result.err.toStdString();
}

TEST_F(SafeUpdate, MaxRemovedTakesOnlyAShareFromZeroToAHundred)
{
    for (const QString &bad : {QStringLiteral("-1"), QStringLiteral("101"), QStringLiteral("viel")}) {
        const CliResult result = Update(SampleList(), {QStringLiteral("--max-removed"), bad});
        EXPECT_EQ(result.exitCode, 2) << bad.toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("--max-removed"))) << result.err.toStdString();
    }
}

} // namespace
} // namespace preisliste
