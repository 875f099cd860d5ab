// The merge as a stage of the update run: statistics, stops, failures, the
// refusal of a list without usable rows, and the command line.
#include "mergefixture.h"

#include "db/sqlhelpers.h"
#include "merge/merge.h"
#include "pricing/recalculation.h"
#include "run/updaterun.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace preisliste::test {
namespace {

const QByteArray kPriceList = "#Vorwahl;Ziel;Preis\n"
                              "0033;France;0,1\n"
                              "00991;Neuland;0,05\n"
                              "00992;Neuland;0,05\n"
                              "0077;Atlantis;0,05\n"
                              "00771;Atlantis Mobile;0,05\n"
                              "004930;Berlin;0,01\n";

class MergeRun : public MergeFixture {
protected:
    void SetUp() override
    {
        tariff.AddNumber("0033", "France", 0.2, 0.1);
        tariff.AddNumber("00991", "Altland", 0.2, 0.1);
        tariff.AddNumber("030", "Berlin", 0.05, 0.01);
        tariff.AddNumber("089", "München", 0.06, 0.01);
        listFile = tariff.WriteFile("preise.csv", kPriceList);
    }

    RunRequest Request(const QString &file) const
    {
        RunRequest request{.databaseFile = tariff.Path(), .priceListFile = file,
                           .source = PriceListSource::LocalFile, .customerId = {}, .rule = rule};
        // The recalculation that follows the merge selects no row here, so
        // the tariff shows what the merge made of it.
        request.rule.UseOnAll = false;
        request.rule.SetUseOnMargin(false);
        request.rule.SetUseOnMarkup(false);
        // These small tariffs lose most of their rows to the lists here.
        request.maxRemovedPercent = 100;
        return request;
    }

    QString listFile;
};

TEST_F(MergeRun, ShowsTheStatisticsUnderTheirOwnTitle)
{
    ASSERT_EQ(RunUpdate(Request(listFile), progress, messages), RunOutcome::Committed);
    ASSERT_EQ(messages.messages.size(), 3) << messages.Texts().join(u'\n').toStdString();
    const RecordedMessage &statistics = messages.messages.at(0);
    EXPECT_EQ(statistics.icon, MessageIcon::Information);
    EXPECT_EQ(statistics.title, QStringLiteral("Update Info"));
    EXPECT_EQ(statistics.text, QStringLiteral("Updatestatistik\r\n\r\n"
                                              "Identischer Name: 2\r\n"
                                              "Identischer Prefix: 1\r\n"
                                              "Neuer Prefix: 1\r\n"
                                              "Neue Subdestination: 1\r\n"
                                              "Ganz neue Destinationen: 2"));
    EXPECT_EQ(messages.messages.at(1).title, QStringLiteral("Neuberechnung"));
    EXPECT_EQ(messages.messages.at(2).text, QStringLiteral("Fertig!"));
    EXPECT_EQ(Tariff(), QStringList({"0033|France|0.2|0.1", "0077|Atlantis|0.06|0.05",
                                     "00771|Atlantis Mobile|0.06|0.05", "00991|Neuland|0.2|0.05",
                                     "00992|Neuland|0.2|0.05", "030|Berlin|0.05|0.01", "089|München|0.06|0.01"}));
}

TEST_F(MergeRun, LeavesOnlyTheTariffTableBehind)
{
    // Leftovers of a run that ended without its roll-back.
    tariff.Execute(QStringLiteral("CREATE TABLE NumbersPrevious (x); CREATE TABLE tmpMaxPreis (y)"));
    ASSERT_EQ(RunUpdate(Request(listFile), progress, messages), RunOutcome::Committed);
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT type, name FROM sqlite_master ORDER BY name")),
              QStringList({"table|Numbers"}));
}

TEST_F(MergeRun, NewRowsTakeNoGraceTimeProfileOrEditFlagOfTheOldTariff)
{
    tariff.Execute(QStringLiteral("UPDATE Numbers SET GraceTime=30, Profile='P', IsEdited=1"));
    ASSERT_EQ(RunUpdate(Request(listFile), progress, messages), RunOutcome::Committed);
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT DISTINCT GraceTime, Profile, IsEdited FROM Numbers")),
              QStringList({"0|NULL|0"}));
}

TEST_F(MergeRun, AddsTheEditFlagToATariffWithoutIt)
{
    tariff.Execute(QStringLiteral("ALTER TABLE Numbers DROP COLUMN IsEdited"));
    ASSERT_EQ(RunUpdate(Request(listFile), progress, messages), RunOutcome::Committed);
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT COUNT(*), SUM(IsEdited = 0) FROM Numbers")), QStringList({"7|7"}));
    EXPECT_EQ(messages.messages.size(), 3);
}

TEST_F(MergeRun, TakesEmptyEditFlagsOfAForeignTariffAsUnedited)
{
    tariff.Execute(QStringLiteral(
        "DROP TABLE Numbers; CREATE TABLE Numbers (Number TEXT, Name TEXT, Price_EUR NUMERIC, Rate_EK NUMERIC, "
        "GraceTime INTEGER, Profile TEXT, IsEdited BIT);"
        "INSERT INTO Numbers VALUES ('0033', 'France', 0.3, 0.1, 0, NULL, NULL);"
        "INSERT INTO Numbers VALUES ('00331', 'France', 0.2, 0.1, 0, NULL, 0);"));
    ASSERT_EQ(RunUpdate(Request(listFile), progress, messages), RunOutcome::Committed);
    EXPECT_EQ(TariffOf("0033"), QStringList({"0033|France|0.3|0.1"}));
    EXPECT_EQ(StatisticsLine("Identischer Name: "), QStringLiteral("Identischer Name: 1"));
}

// A list without one usable row would leave only the kept national rows.
struct UnusableList {
    const char *name;
    QByteArray content;
    const char *reason = nullptr; // of the first line skipped
};

class UnusableListRun : public MergeRun, public testing::WithParamInterface<UnusableList> {};

TEST_P(UnusableListRun, IsRefusedAndChangesNothing)
{
    const QString before = tariff.Snapshot();
    const QString file = tariff.WriteFile("leer.csv", GetParam().content);
    EXPECT_EQ(RunUpdate(Request(file), progress, messages), RunOutcome::Failed);
    // One message; where the list had data lines, it names the first one
    // skipped and why.
    ASSERT_EQ(messages.Texts().size(), 1) << messages.Texts().join(u'\n').toStdString();
    EXPECT_TRUE(messages.Texts().constFirst().startsWith(QStringLiteral("Die Preisliste enthält keine gültigen Einträge.")));
    EXPECT_EQ(messages.Texts().constFirst().contains(QStringLiteral("Zeile ")), GetParam().reason != nullptr);
    if (GetParam().reason) {
        EXPECT_TRUE(messages.Texts().constFirst().contains(QString::fromUtf8(GetParam().reason)));
    }
    EXPECT_EQ(messages.messages.at(0).icon, MessageIcon::Error);
    EXPECT_EQ(tariff.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, UnusableListRun,
    testing::Values(UnusableList{"HeaderOnly", "#Vorwahl;Ziel;Preis\n"},
                    UnusableList{"ServerFormWithoutData", "#kvtpricelist\nList-ID: 1\n\n"},
                    UnusableList{"ColumnsSwapped", "#Vorwahl;Ziel;Preis\nFrance;0033;0,1\nSpain;0034;0,2\n",
                                 "Zeile 2: „France;0033;0,1“ – Vorwahl ist keine Zahl"},
                    UnusableList{"PricesOfThreeOrMore", "#Vorwahl;Ziel;Preis\n0033;France;3\n0034;Spain;12,5\n",
                                 "Preis von 3 € oder mehr"},
                    UnusableList{"BlankLinesOnly", "#Vorwahl;Ziel;Preis\n\n;;\n", "Zeile 3: „;;“ – Vorwahl fehlt"}),
    [](const auto &info) { return std::string(info.param.name); });

// Every progress call of a run up to its commit, import and merge alike: a
// stop there ends the run without a message and leaves the tariff as it was.
TEST_F(MergeRun, StopAtAnyProgressCallChangesNothing)
{
    // Counted on a copy of the same tariff, which the counting run changes.
    const QString copy = tariff.FilePath("copy.mdb");
    ASSERT_TRUE(QFile::copy(tariff.Path(), copy));
    RunRequest counted = Request(listFile);
    counted.databaseFile = copy;
    ScriptedProgress counting;
    RecordingMessages quiet;
    ASSERT_EQ(RunUpdate(counted, counting, quiet), RunOutcome::Committed);
    // The last call comes after the commit.
    const int callsBeforeCommit = counting.calls - 1;
    ASSERT_GT(callsBeforeCommit, 30);
    const QString before = tariff.Snapshot();
    for (int call = 1; call <= callsBeforeCommit; ++call) {
        SCOPED_TRACE(call);
        ScriptedProgress stopping(call);
        RecordingMessages quiet;
        EXPECT_EQ(RunUpdate(Request(listFile), stopping, quiet), RunOutcome::Stopped);
        // The import's closing call does not stop; the merge's first call does.
        EXPECT_LE(stopping.calls, call + 1);
        // A stop in the recalculation comes after the merge has given its
        // statistics, one in the report also after the recalculation's
        // count; nothing else is said.
        for (const RecordedMessage &message : quiet.messages)
            EXPECT_TRUE(message.title == QStringLiteral("Update Info") || message.title == QStringLiteral("Neuberechnung"))
                << quiet.Texts().join(u'\n').toStdString();
        EXPECT_EQ(tariff.Snapshot(), before);
    }
}

TEST_F(MergeRun, ReportsProgressInItsOrder)
{
    tariff.Execute(QStringLiteral("DELETE FROM Numbers"));
    Stage({{"0077", "Nirgendwo", "0.05"}, {"0078", "Nirgendwo", "0.05"}});
    ASSERT_TRUE(Merge());
    // On its own the merge is the whole run, so both values are the merge's.
    // The two walks over the unpriced rows (2 rows each) take most of it.
    QList<std::pair<int, int>> expected;
    for (int percent : {0, 1, 9, 10,                     // preparation
                        13, 15, 17,                       // carrying over the operator's prices
                        20, 35, 50,                       // the vote, row by row
                        65, 80,                           // the parent search, row by row
                        81,                               // new destinations
                        84, 88, 90, 99, 100})             // writing back
        expected.append({percent, percent});
    EXPECT_EQ(progress.history, expected);
}

TEST_F(MergeRun, StopInThePreparationRunsNoFurtherStatement)
{
    // No transaction here: what ran stays, what did not run is missing.
    tariff.Execute(QStringLiteral("DELETE FROM Numbers"));
    tariff.AddNumber("0033", "A", 0.05, 0.01);
    tariff.AddNumber("0034", "B", QVariant(), 0.01);
    Stage({{"0033", "A", "0.05"}, {"x", "Kein Ziel", "0.05"}});
    UseMinRate(0.10);
    // The third call comes after the old names were gathered, before the
    // staged rows are cleaned up. The old prices are read filled in, never
    // written.
    ScriptedProgress stopAtCleanUp(3);
    const auto connection = OpenStaged();
    RunContext context{*connection, stopAtCleanUp};
    EXPECT_TRUE(MergePriceList(rule, context).IsStopped());
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(test::QueryRows(*connection, "SELECT Name, Price_EUR FROM tmpMaxPreis ORDER BY Name"),
              QStringList({"A|0.05", "B|0.1"}));
    EXPECT_EQ(tariff.Rows("SELECT Number, Price_EUR FROM Numbers ORDER BY Number"),
              QStringList({"0033|0.05", "0034|NULL"}));
    EXPECT_EQ(test::QueryRows(*connection, "SELECT Vorwahl FROM Import2 ORDER BY rowid"), QStringList({"0033", "x"}));
}

// Between the merge's statements a stop is checked with every progress call:
// a stop at any of them ends the merge there, without a further call or a
// message, and the rollback leaves the tariff as it was.
TEST_F(MergeRun, StopAtEachProgressCallOfTheMergeChangesNothing)
{
    Stage({{"0033", "France", "0.1"}, {"0077", "Nirgendwo", "0.05"}});
    const QString before = tariff.Snapshot();
    int callsOfAWholeMerge = 0;
    {
        ScriptedProgress counting;
        const auto connection = OpenStaged();
        SqlTransaction transaction(*connection);
        ASSERT_TRUE(transaction.Begin());
        RunContext context{*connection, counting};
        ASSERT_TRUE(MergePriceList(rule, context).IsDone());
        transaction.Rollback();
        callsOfAWholeMerge = counting.calls;
    }
    ASSERT_GT(callsOfAWholeMerge, 15);
    for (int call = 1; call < callsOfAWholeMerge; ++call) {
        SCOPED_TRACE(call);
        ScriptedProgress stopping(call);
        RecordingMessages quiet;
        const auto connection = OpenStaged();
        SqlTransaction transaction(*connection);
        ASSERT_TRUE(transaction.Begin());
        RunContext context{*connection, stopping};
        EXPECT_TRUE(MergePriceList(rule, context).IsStopped());
        transaction.Rollback();
        EXPECT_EQ(stopping.calls, call);
        EXPECT_EQ(tariff.Snapshot(), before);
    }
}

// A run with a price list prices the merged rows as it writes them back:
// the same tariff, value for value and type for type, with the same count,
// as the merge's own write-back followed by a pass over the new tariff.
TEST(MergeRunRepricing, GivesWhatTheWriteBackAndASecondPassGive)
{
    struct Case {
        const char *name;
        void (*select)(PricingRule &rule);
    };
    const Case cases[] = {
        {"every row", [](PricingRule &rule) { rule.UseOnAll = true; }},
        {"every row, at least the minimum",
         [](PricingRule &rule) {
             rule.UseOnAll = true;
             rule.UseMinSellRate = true;
             rule.MinSellRateValue = Currency::FromDouble(0.15);
         }},
        {"rows selling below 0.10",
         [](PricingRule &rule) {
             rule.UseOnSellRate = true;
             rule.UseOnSellRateValue = Currency::FromDouble(0.10);
         }},
        {"no row", [](PricingRule &) {}},
    };
    const QString list = kSampleDir + QStringLiteral("/preise.csv");
    const QString rows = QStringLiteral(
        "SELECT Number, Name, quote(Price_EUR), typeof(Price_EUR), quote(Rate_EK) FROM Numbers ORDER BY rowid");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PricingRule rule(TelvoroSettings::FromText(QStringLiteral("[Options]\nMwSt=19\nRatingDefaultMargin=60\n")));
        rule.SetUseOnMargin(false);
        rule.SetUseOnMarkup(false);
        c.select(rule);

        TempTariff inOnePass;
        ASSERT_TRUE(inOnePass.CopySample());
        RunRequest request{.databaseFile = inOnePass.Path(), .priceListFile = list,
                           .source = PriceListSource::LocalFile, .customerId = {}, .rule = rule};
        request.backupFirst = false;
        ScriptedProgress progress;
        RecordingMessages messages;
        ASSERT_EQ(RunUpdate(request, progress, messages), RunOutcome::Committed);
        QString onePassNotice;
        for (const RecordedMessage &message : messages.messages)
            if (message.title == QStringLiteral("Neuberechnung"))
                onePassNotice = message.text;

        TempTariff inTwoPasses;
        ASSERT_TRUE(inTwoPasses.CopySample());
        const auto connection = OpenForRun(inTwoPasses.Path());
        ASSERT_TRUE(connection);
        SqlTransaction transaction(*connection);
        ASSERT_TRUE(transaction.Begin());
        RunContext context{*connection, progress};
        NamesMatched matched;
        ASSERT_TRUE(PrepareNameMatch(rule, context).IsDone());
        ASSERT_TRUE(ImportMatchingNames(list, context, &matched).IsDone());
        ASSERT_TRUE(MergePriceList(rule, context, nullptr, matched).IsDone());
        const StageResult secondPass = RecalculateSellingPrices(rule, context);
        ASSERT_TRUE(secondPass.IsDone() && secondPass.notice);
        ASSERT_TRUE(transaction.Commit());

        EXPECT_EQ(inOnePass.Rows(rows), inTwoPasses.Rows(rows));
        EXPECT_EQ(onePassNotice, secondPass.notice->text);
    }
}

// The rows a run writes back are priced under the prefix they are stored
// with, so a kept national row whose purchase price is no number is named as
// the tariff has it.
TEST_F(MergeRun, NamesARowThatCannotBePricedByItsStoredPrefix)
{
    tariff.Execute(QStringLiteral("UPDATE Numbers SET Rate_EK = 'billig' WHERE Number = '089'"));
    const QString before = tariff.Snapshot();
    EXPECT_EQ(RunUpdate(Request(listFile), progress, messages), RunOutcome::Failed);
    EXPECT_EQ(messages.Texts().last(), QStringLiteral("Fehler: Rate_EK „billig“ der Vorwahl 089 ist keine Zahl."));
    EXPECT_EQ(tariff.Snapshot(), before);
}

// An old row with neither a selling nor a purchase price gives its match no
// price: the row matched by its name or by its prefix gets the computed one,
// never none.
TEST_F(MergeRun, FillsInThePriceOfAMatchWhoseOldRowHasNone)
{
    struct Case {
        const char *name;
        const char *oldNumber;
        const char *oldName;
        QByteArray listLine;
    };
    const Case cases[] = {
        {"matched by name", "0034", "Leer", "0035;leer;0,1\n"},
        {"matched by prefix", "0034", "Alt", "0034;Neu;0,1\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        tariff.Execute(QStringLiteral("DELETE FROM Numbers"));
        tariff.AddNumber(c.oldNumber, c.oldName, QVariant(), QVariant());
        const QString list = tariff.WriteFile("eine.csv", "#Vorwahl;Ziel;Preis\n" + c.listLine);
        ASSERT_EQ(RunUpdate(Request(list), progress, messages), RunOutcome::Committed);
        EXPECT_EQ(Tariff().first().section(u'|', 2), QStringLiteral("0.12|0.1")); // 0.1 with 19 % VAT
    }
}

// The staged rows keep the numbers they were staged with, and the clean-up
// leaves a gap: the progress goes by the last number, the notice counts the
// rows written.
TEST_F(MergeRun, CountsTheRowsWrittenBackPastAGapInTheStagedRows)
{
    Stage({{"0033", "France", "0.1"}, {"x", "Kein Ziel", "0.05"}, {"0077", "Nirgendwo", "0.05"}});
    rule.UseOnAll = true;
    const auto connection = OpenStaged();
    SqlTransaction transaction(*connection);
    ASSERT_TRUE(transaction.Begin());
    RunContext context{*connection, progress};
    ASSERT_TRUE(MergePriceList(rule, context, nullptr, NamesMatched::ByTheMerge(), MergeEnd::KeepStaged).IsDone());
    QString error;
    const std::optional<qint64> rowsAtMost = StagedRowsAtMost(context, error);
    ASSERT_EQ(rowsAtMost, 5) << error.toStdString(); // 0033, 0077 and the kept 030 and 089 after the gap
    const RowWriter writer{[&](const QString &function) { return WriteBackStagedRows(context, function); },
                           [&](const QString &staged) { return StoredPrefixOfStagedRow(context, staged); }};
    const StageResult written = RecalculateSellingPricesAsWritten(rule, context, *rowsAtMost, writer);
    ASSERT_TRUE(written.IsDone() && written.notice);
    EXPECT_EQ(written.notice->text, QStringLiteral("Preisneuberechnung\r\n\r\n4 of 4 records updated."));
    EXPECT_EQ(test::QueryRows(*connection, "SELECT Number FROM Numbers ORDER BY rowid"),
              QStringList({"0033", "0077", "030", "089"}));
}

struct FailureCase {
    const char *name;
    const char *setup; // SQL run on the merge's connection before the merge
    const char *error;
};

class MergeFailure : public MergeFixture, public testing::WithParamInterface<FailureCase> {};

TEST_P(MergeFailure, ShowsTheErrorAndChangesNothing)
{
    tariff.AddNumber("0033", "France", 0.2, 0.1);
    Stage({{"0033", "France", "0.1"}, {"0077", "Nirgendwo", "0.05"}});
    const QString before = tariff.Snapshot();
    EXPECT_FALSE(Merge(QString::fromUtf8(GetParam().setup)));
    EXPECT_EQ(messages.Texts(), QStringList({QStringLiteral("Fehler: ") + QString::fromUtf8(GetParam().error)}));
    EXPECT_EQ(messages.messages.at(0).icon, MessageIcon::Error);
    EXPECT_EQ(tariff.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, MergeFailure,
    testing::Values(FailureCase{"NoStagedList", "DROP TABLE Import2", "Datenbankfehler (no such table: Import2)"},
                    FailureCase{"TariffWithoutPurchasePrice",
                                "ALTER TABLE Numbers DROP COLUMN Rate_EK", "Datenbankfehler (no such column: Rate_EK)"},
                    FailureCase{"PurchasePriceOutsideTheCurrencyRange",
                                "UPDATE Import2 SET PreisEk = -1e300 WHERE Vorwahl = '0077'",
                                "Überlauf bei einem Währungsbetrag"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MergeFixture, RuleWithoutAFiniteFactorIsRefused)
{
    tariff.AddNumber("0033", "France", 0.2, 0.1);
    Stage({{"0033", "France", "0.1"}});
    rule.SetMarkup(-1.0); // the margin becomes infinite
    const QString before = tariff.Snapshot();
    EXPECT_FALSE(Merge());
    EXPECT_EQ(messages.Texts(), QStringList({"Fehler: Mehrwertsteuer oder Marge der Preisregel ist keine Zahl."}));
    EXPECT_EQ(tariff.Snapshot(), before);
}

// The command line prints the statistics on stdout and leaves a tariff it
// could not update untouched.
class CommandLineUpdate : public MergeRun {
protected:
    int Run(const QString &file, QByteArray &out, QByteArray &err) const
    {
        const QString binary = qEnvironmentVariable("PREISLISTE_BINARY");
        if (!QFileInfo(binary).isExecutable()) {
            ADD_FAILURE() << "no program at " << binary.toStdString();
            return -1;
        }
        QProcess process;
        // The rule re-prices only rows under 1 % margin: none here, so the
        // tariff shows what the merge made of it.
        process.start(binary, {"update", "--db", tariff.Path(), "--file", file, "--apply-to", "margin-below=1%",
                               "--settings", tariff.WriteFile("Telvoro.ini", "[Options]\nMwSt=19\n")});
        if (!process.waitForFinished(60000))
            return -1;
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitCode();
    }
};

TEST_F(CommandLineUpdate, PrintsTheStatisticsAndFinishes)
{
    QByteArray out, err;
    ASSERT_EQ(Run(listFile, out, err), 0) << err.toStdString();
    const QString text = QString::fromUtf8(out);
    EXPECT_TRUE(text.contains(QStringLiteral("[Update Info]\nUpdatestatistik\n\nIdentischer Name: 2\n"))) << out.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Ganz neue Destinationen: 2\n"))) << out.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nFertig!\n"))) << out.toStdString();
    EXPECT_EQ(TariffOf("089"), QStringList({"089|München|0.06|0.01"}));
}

TEST_F(CommandLineUpdate, LeavesTheTariffUntouchedWhenTheListIsUnusable)
{
    const QByteArray before = tariff.FileBytes();
    QByteArray out, err;
    EXPECT_NE(Run(tariff.WriteFile("leer.csv", "#Vorwahl;Ziel;Preis\n"), out, err), 0);
    EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("Die Preisliste enthält keine gültigen Einträge.")))
        << err.toStdString();
    EXPECT_FALSE(out.contains("Update Info"));
    EXPECT_EQ(tariff.FileBytes(), before);
}

} // namespace
} // namespace preisliste::test
