// The states and old names the phases give the staged rows, looked at in
// Import2 before the write-back drops it.
#include "mergefixture.h"

#include "db/sqlfunction.h"
#include "merge/mergestatements.h"

namespace preisliste::test {
namespace {

class MergePhases : public MergeFixture {};

TEST_F(MergePhases, EachRowRecordsHowItGotItsPrice)
{
    tariff.AddNumber("0033", "France", 0.2, 0.1);
    tariff.AddNumber("00991", "Altland", 0.2, 0.1);
    tariff.AddNumber("0088", "X", 0.09, 0.05);
    tariff.AddNumber("0066", "Leer", QVariant(), QVariant());
    Stage({{"0033", "FRANCE", "0.1"},
           {"00991", "Neuland", "0.05"},
           {"00992", "neuland", "0.05"},
           {"0088", "Atlantis Mobile", "0.05"},
           {"00881", "Atlantis Mobile Red", "0.05"},
           {"0077", "Nirgendwo", "0.05"},
           {"0055", "Ohne Preis", QString()},
           {"0066", "Leer", "0.1"}});
    PhaseRunner runner(*this, rule, progress, messages);
    ASSERT_TRUE(runner.PriceStagedRows()) << messages.Texts().join(u'\n').toStdString();
    EXPECT_EQ(runner.Staged(), QStringList({
                                   "0033|FRANCE|0.2|1|France",
                                   "00991|Neuland|0.2|2|Altland",
                                   "00992|neuland|0.2|3|Neuland",
                                   "0088|Atlantis Mobile|0.09|2|X",
                                   "00881|Atlantis Mobile Red|0.09|4|Atlantis Mobile",
                                   "0077|Nirgendwo|0.06|5|NULL",
                                   "0055|Ohne Preis|NULL|5|NULL",
                                   "0066|Leer|0.12|1|Leer", // computed, then back to state 1
                               }));
    EXPECT_EQ(runner.Merge().NewDestinationCount, 2);
}

struct DuplicateCase {
    const char *first;
    const char *second;
    const char *expected;
};

class DuplicatePrefix : public MergeFixture, public testing::WithParamInterface<DuplicateCase> {};

// Equal prices: the row stored first in the old tariff wins.
TEST_P(DuplicatePrefix, FirstStoredRowWinsOnEqualPrices)
{
    tariff.AddNumber("0033", GetParam().first, 0.2, 0.1);
    tariff.AddNumber("0033", GetParam().second, 0.2, 0.1);
    Stage({{"0033", "Neu", "0.1"}});
    PhaseRunner runner(*this, rule, progress, messages);
    ASSERT_TRUE(runner.PriceStagedRows());
    EXPECT_EQ(runner.Staged(), QStringList({QStringLiteral("0033|Neu|0.2|2|") + GetParam().expected}));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, DuplicatePrefix,
                         testing::Values(DuplicateCase{"France", "Frankreich", "France"},
                                         DuplicateCase{"Frankreich", "France", "Frankreich"}));

TEST_F(MergePhases, OneNameSpelledTwiceInTheOldTariffIsOneName)
{
    tariff.AddNumber("0033", "france", 0.2, 0.1);
    tariff.AddNumber("00331", "France", 0.3, 0.1);
    Stage({{"00339", "FRANCE", "0.1"}});
    PhaseRunner runner(*this, rule, progress, messages);
    ASSERT_TRUE(runner.PriceStagedRows());
    EXPECT_EQ(runner.Staged(), QStringList({"00339|FRANCE|0.3|1|France"}));
    EXPECT_EQ(runner.Merge().SameNameCount, 1);
}

const QVariant kNoPrice;

struct NameRowsCase {
    const char *name;
    std::vector<std::pair<QString, QVariant>> oldRows; // spelling and selling price, in stored order
    QString staged;                                    // the staged row as Staged() shows it
};

void PrintTo(const NameRowsCase &nameRows, std::ostream *os)
{
    *os << nameRows.name;
}

class OldRowsOfOneName : public MergeFixture, public testing::WithParamInterface<NameRowsCase> {};

// Whatever the order of the old rows, a name takes its highest price (a
// price beats none) and its binary smallest spelling as the old name.
TEST_P(OldRowsOfOneName, GiveTheHighestPriceAndTheSmallestSpelling)
{
    int number = 0;
    // A row without a price has no purchase price either, so that the
    // preparation leaves it without one.
    for (const auto &[spelling, price] : GetParam().oldRows)
        tariff.AddNumber(QStringLiteral("003%1").arg(++number), spelling, price,
                         price.isValid() ? QVariant(0.1) : kNoPrice);
    Stage({{"00339", "FRANCE", "0.1"}});
    PhaseRunner runner(*this, rule, progress, messages);
    ASSERT_TRUE(runner.PriceStagedRows());
    EXPECT_EQ(runner.Staged(), QStringList({GetParam().staged}));
    EXPECT_EQ(runner.Merge().SameNameCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, OldRowsOfOneName,
    testing::Values(NameRowsCase{"HigherPriceLater", {{"france", 0.2}, {"France", 0.3}}, "00339|FRANCE|0.3|1|France"},
                    NameRowsCase{"HigherPriceFirst", {{"France", 0.3}, {"france", 0.2}}, "00339|FRANCE|0.3|1|France"},
                    NameRowsCase{"SmallerSpellingLaterWithLowerPrice",
                                 {{"france", 0.3}, {"France", 0.2}},
                                 "00339|FRANCE|0.3|1|France"},
                    NameRowsCase{"PriceAfterNone",
                                 {{"France", kNoPrice}, {"france", 0.2}},
                                 "00339|FRANCE|0.2|1|France"},
                    NameRowsCase{"NoneAfterPrice",
                                 {{"france", 0.2}, {"France", kNoPrice}},
                                 "00339|FRANCE|0.2|1|France"},
                    NameRowsCase{"NoPriceAtAll",
                                 {{"france", kNoPrice}, {"France", kNoPrice}},
                                 "00339|FRANCE|0.12|1|France"},
                    NameRowsCase{"OneRowOnly", {{"france", 0.25}}, "00339|FRANCE|0.25|1|france"}),
    [](const auto &info) { return std::string(info.param.name); });

// The prefix match reads the old tariff with its prefixes converted on the
// fly; each staged row must find its winner through a look-up by prefix, not
// by going through all winners (a million-row update would never end).
TEST_F(MergePhases, PrefixMatchLooksTheWinnerUpByPrefix)
{
    tariff.AddNumber("0033", "France", 0.2, 0.1);
    Stage({{"0033", "Neu", "0.1"}});
    const auto connection = OpenStaged();
    const ScopedSqlFunction isUnpriced(*connection, mergesql::kIsUnpricedPrefix, 1,
                                       [](SqlFunctionCall &call) { call.ReturnBool(true); });
    const QStringList plan = QueryRows(*connection, QStringLiteral("EXPLAIN QUERY PLAN ") + mergesql::MatchByPrefix(1.0, Currency()));
    EXPECT_TRUE(plan.filter(QStringLiteral("Prefix=?")).size() == 1) << plan.join(u'\n').toStdString();
}

// The old prefix is compared byte for byte: one that differs only in a
// trailing blank is another prefix, and so is one stored as bytes (which
// the conversion to the list's form does not take for a number).
TEST_F(MergePhases, PrefixMatchComparesTheOldPrefixByteForByte)
{
    tariff.Execute(QStringLiteral("INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) "
                                  "VALUES (X'3030333339', 'Als Bytes', 0.2, 0.1), ('00340 ', 'Mit Leerzeichen', 0.3, 0.1), "
                                  "('00341', 'Als Text', 0.5, 0.1), ('0034', 'Kurz', 0.4, 0.1)"));
    Stage({{"00339", "Neu1", "0.1"}, {"00340", "Neu2", "0.1"}, {"00341", "Neu3", "0.1"}, {"00342", "Neu4", "0.1"}});
    PhaseRunner runner(*this, rule, progress, messages);
    ASSERT_TRUE(runner.PriceStagedRows()) << messages.Texts().join(u'\n').toStdString();
    EXPECT_EQ(runner.Staged().filter(QStringLiteral("|2|")), QStringList({"00341|Neu3|0.5|2|Als Text"}));
    EXPECT_EQ(runner.Merge().SamePrefixCount, 1);
}

// The walks assign prices while they read: their rows must all be read and
// sorted before the first one is returned, never streamed from the index
// that the assigned rows leave.
TEST_F(MergePhases, WalksSortTheirRowsBeforeTheFirstIsReturned)
{
    Stage({{"0033", "Neu", "0.1"}});
    const auto connection = OpenStaged();
    ASSERT_TRUE(connection->Exec(mergesql::IndexRowsWithoutState())) << connection->Error().toStdString();
    const QStringList plan = QueryRows(*connection, QStringLiteral("EXPLAIN QUERY PLAN ") + mergesql::SelectUnpricedRows());
    EXPECT_EQ(plan.filter(QStringLiteral("USE TEMP B-TREE FOR ORDER BY")).size(), 1) << plan.join(u'\n').toStdString();
}

struct WalkRowsCase {
    const char *name;
    std::vector<StagedRow> staged;
    QStringList walkRows; // "rowid|key|purchase price" of the rows the walks may look up
};

class RowsForTheWalks : public MergeFixture, public testing::WithParamInterface<WalkRowsCase> {};

// The walks look up only the staged rows with the key of an unpriced row's
// name or of one of its parent names, whatever their state, through an
// index; a list that leaves the walks no row gives them none.
TEST_P(RowsForTheWalks, AreTheRowsOfTheNamesTheyAskFor)
{
    tariff.AddNumber("0033", "France", 0.2, 0.1);
    Stage(GetParam().staged);
    PhaseRunner runner(*this, rule, progress, messages);
    ASSERT_TRUE(runner.PriceStagedRows()) << messages.Texts().join(u'\n').toStdString();
    EXPECT_EQ(runner.Rows(QStringLiteral("SELECT StagedRow, NameKey, PreisEk FROM tmpWalkRows ORDER BY StagedRow")),
              GetParam().walkRows);
    for (const QString &lookUp : {mergesql::VoteForPrice(), mergesql::FindParentRow()}) {
        const QStringList plan = runner.Rows(QStringLiteral("EXPLAIN QUERY PLAN ") + lookUp);
        EXPECT_EQ(plan.filter(QStringLiteral("tmpWalkRows_NameKeyPreisEk")).size(), 1) << plan.join(u'\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RowsForTheWalks,
    testing::Values(
        WalkRowsCase{"AllMatchedByName", {{"0033", "FRANCE", "0.1"}, {"0034", "france", "0.1"}}, {}},
        WalkRowsCase{"AllMatchedByPrefix", {{"0033", "Frankreich", "0.1"}}, {}},
        WalkRowsCase{"NewNameWithItsParent",
                     {{"0033", "France", "0.1"},
                      {"0033", "Frankreich", "0.1"},
                      {"00331", "FRANCE Mobile Orange", "0.1"},
                      {"00332", "france mobile", "0.2"}},
                     {"1|france|0.1", "3|france mobile orange|0.1", "4|france mobile|0.2"}},
        WalkRowsCase{"RowsWithoutANameAreLeftOut",
                     {{"0036", "Neuland", "0.1"}, {"0037", "", "0.1"}, {"0038", "NEULAND", "0.2"}, {"0039", "", "0.3"}},
                     {"1|neuland|0.1", "3|neuland|0.2"}},
        WalkRowsCase{"UmlautsFoldedInKeyAndParent",
                     {{"0043", "ÖSTERREICH", "0.1"}, {"00431", "Österreich Mobil", "0.1"}},
                     {"1|österreich|0.1", "2|österreich mobil|0.1"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MergePhases, FactorDividesTheMarginOnceMore)
{
    rule.SetVAT(0.19);
    rule.SetMargin(0.375);
    PhaseRunner runner(*this, rule, progress, messages);
    EXPECT_DOUBLE_EQ(runner.Merge().NewPriceFactor, 1.1944625);
    EXPECT_EQ(runner.Merge().MinRate, Currency());

    rule.UseMinSellRate = true;
    rule.MinSellRateValue = Currency::FromUnits(1500);
    PhaseRunner withMinimum(*this, rule, progress, messages);
    EXPECT_EQ(withMinimum.Merge().MinRate, Currency::FromUnits(1500));
}

} // namespace
} // namespace preisliste::test
