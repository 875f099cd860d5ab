// The name match made as the import stores each row gives every staged row
// exactly what the merge's own name match gives it: the same price and old
// name, of the same type, and the same state.
#include "common/stageresult.h"
#include "common/telvorosettings.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "merge/merge.h"
#include "merge/mergestatements.h"
#include "pricelist/stagingimport.h"
#include "pricing/pricingrule.h"
#include "run/updaterun.h"
#include "support/testsupport.h"

namespace preisliste {
namespace {

struct OldRow {
    QString number;
    QString name;  // an SQL literal: 'France', NULL
    QString price; // an SQL literal: 0.2, 'abc', X'01', NULL
    QString purchase = QStringLiteral("0.1");
};

struct NameMatchCase {
    const char *name;
    std::vector<OldRow> tariff;
    QByteArray listLines; // after the header
    int matchedRows;
};

enum class Matcher { Merge, Import };

class NameMatchOnStagingTest : public testing::TestWithParam<NameMatchCase> {
protected:
    void SetUp() override
    {
        QString script = QStringLiteral("BEGIN; DELETE FROM Numbers;");
        for (const OldRow &row : GetParam().tariff)
            script += QStringLiteral("INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) VALUES ('%1', %2, %3, %4);")
                          .arg(row.number, row.name, row.price, row.purchase);
        tariff_.Execute(script + QStringLiteral("COMMIT;"));
        list_ = tariff_.WriteFile(QStringLiteral("preise.csv"), "#Vorwahl;Ziel;Preis\n" + GetParam().listLines);
    }

    // Import2 after the import and the name match, the import's or the
    // merge's; the run is rolled back.
    QStringList StagedWith(Matcher matcher)
    {
        const auto connection = test::OpenForRun(tariff_.Path());
        SqlTransaction transaction(*connection);
        EXPECT_TRUE(transaction.Begin());
        test::ScriptedProgress progress;
        RunContext context{*connection, progress};
        EXPECT_TRUE(PrepareNameMatch(PricingRule{TelvoroSettings()}, context).IsDone());
        if (matcher == Matcher::Import) {
            NamesMatched matched;
            EXPECT_TRUE(ImportMatchingNames(list_, context, &matched).IsDone());
            EXPECT_TRUE(matched.onStaging);
            EXPECT_EQ(matched.matchedRows, GetParam().matchedRows);
            // The merge fills in no price for the import's matches unless told.
            EXPECT_EQ(matched.matchesLackPrices,
                      test::QueryValue(*connection, QStringLiteral("SELECT EXISTS (SELECT 1 FROM Import2 "
                                                                   "WHERE ImportState = 1 AND VkPreis IS NULL)")) == 1);
            // The merge relies on it and cleans up after such an import no more.
            EXPECT_TRUE(connection->Exec(mergesql::CleanUpStagedRows()));
            EXPECT_EQ(connection->Changes(), 0) << "the import stored a line the merge would clean up";
        } else {
            EXPECT_TRUE(ImportPriceListFile(list_, context).IsDone());
            EXPECT_TRUE(connection->Exec(mergesql::MatchByName())) << connection->Error().toStdString();
        }
        EXPECT_EQ(test::QueryValue(*connection, QStringLiteral("SELECT COUNT(*) FROM Import2 WHERE ImportState = 1")),
                  GetParam().matchedRows);
        return test::QueryRows(*connection, QStringLiteral("SELECT Vorwahl, Ziel, VkPreis, typeof(VkPreis), OldName, "
                                                           "typeof(OldName), ImportState FROM Import2 ORDER BY rowid"));
    }

private:
    test::TempTariff tariff_;
    QString list_;
};

TEST_P(NameMatchOnStagingTest, GivesEachRowWhatTheMergesNameMatchGives)
{
    const QStringList byTheMerge = StagedWith(Matcher::Merge);
    EXPECT_FALSE(byTheMerge.isEmpty());
    EXPECT_EQ(StagedWith(Matcher::Import), byTheMerge);
}

// More names than the match remembers, each staged twice, far apart.
NameMatchCase ManyNames()
{
    NameMatchCase many{"MoreNamesThanRemembered", {}, {}, 0};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 5000; ++i) {
            if (round == 0)
                many.tariff.push_back({QStringLiteral("00%1").arg(i + 100), QStringLiteral("'Ziel %1'").arg(i),
                                       QString::number(0.01 * (i % 90 + 1))});
            many.listLines += QStringLiteral("00%1;ZIEL %2;0,05\n").arg(i + 100).arg(i).toUtf8();
        }
    }
    many.matchedRows = 10000;
    return many;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, NameMatchOnStagingTest,
    testing::Values(
        NameMatchCase{"LetterCaseAndUmlauts",
                      {{"0043", "'Österreich'", "0.2"}, {"0033", "'FRANCE'", "0.3"}, {"00331", "'france'", "0.25"}},
                      "0043;ÖSTERREICH;0,1\n0033;France;0,1\n0077;Nirgendwo;0,1\n0043;österreich;0,1\n",
                      3},
        NameMatchCase{"PricesOfEveryType",
                      {{"001", "'Text'", "'abc'"},
                       {"002", "'Ganz'", "1"},
                       {"003", "'Leer'", "NULL"},
                       {"004", "'Blob'", "X'01'"},
                       {"005", "NULL", "0.5"}},
                      "001;text;0,1\n002;ganz;0,1\n003;leer;0,1\n004;blob;0,1\n005;;0,1\n",
                      4},
        NameMatchCase{"NameWithNoPriceToFillIn",
                      {{"003", "'Leer'", "NULL", "NULL"}, {"0033", "'France'", "0.2"}},
                      "003;leer;0,1\n0033;France;0,1\n",
                      2},
        NameMatchCase{"OneNameOnManyLines",
                      {{"0049", "'Deutschland'", "0.1"}, {"004930", "'Deutschland'", "0.4"}},
                      "00491;Deutschland;0,1\n00492;DEUTSCHLAND;0,1\n00493;Deutschland;0,1\n",
                      3},
        NameMatchCase{"LinesTheImportLeavesOut",
                      {{"0033", "'France'", "0.2"}},
                      "0033;France;0,1\nabc;France;0,1\n0033;France;3\n0033;France;-1\n0033;France;\n"
                      "00 33;France;0,1\n0033;France;1e400\n0033;France;2,9999\n",
                      2},
        ManyNames()),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace preisliste
