// Which old tariff rows the fold of the names may leave out, and that
// leaving them out gives tmpMaxPreis exactly as folding every row does.
#include "merge/foldedspellings.h"

#include "mergefixture.h"

#include <random>

namespace preisliste::test {
namespace {

using Row = FoldedSpellings::Row;

Row Priced(const char *name, double price, qint64 flag = 0)
{
    return {QByteArrayView(name), flag, price, true};
}

Row Unpriced(const char *name, qint64 flag = 0)
{
    return {QByteArrayView(name), flag, std::nullopt, true};
}

struct SpellingCase {
    const char *name;
    std::vector<Row> rows;
    std::vector<bool> unchanging; // per row, in order
};

class FoldedSpellingsDecide : public testing::TestWithParam<SpellingCase> {};

TEST_P(FoldedSpellingsDecide, WhichRowsCannotChangeTheirName)
{
    FoldedSpellings folded;
    std::vector<bool> unchanging;
    for (const Row &row : GetParam().rows)
        unchanging.push_back(folded.Unchanging(row));
    EXPECT_EQ(unchanging, GetParam().unchanging);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FoldedSpellingsDecide,
    testing::Values(
        SpellingCase{"FirstRowOfASpellingIsFolded", {Priced("France", 0.2)}, {false}},
        SpellingCase{"LowerOrEqualPriceLaterChangesNothing",
                     {Priced("France", 0.2), Priced("France", 0.1), Priced("France", 0.2)}, {false, true, true}},
        SpellingCase{"HigherPriceLaterIsFolded",
                     {Priced("France", 0.2), Priced("France", 0.3), Priced("France", 0.25)}, {false, false, true}},
        SpellingCase{"NoPriceLaterChangesNothing", {Priced("France", 0.2), Unpriced("France")}, {false, true}},
        SpellingCase{"PriceAfterNoneIsFolded",
                     {Unpriced("France"), Priced("France", 0.0), Unpriced("France")}, {false, false, true}},
        SpellingCase{"OtherSpellingIsFolded", {Priced("France", 0.2), Priced("FRANCE", 0.1)}, {false, false}},
        SpellingCase{"OtherEditFlagIsFolded", {Priced("France", 0.2, 0), Priced("France", 0.1, 1)}, {false, false}},
        SpellingCase{"PriceAsTextIsAlwaysFolded",
                     {Priced("France", 0.2), Row{QByteArrayView("France"), 0, 0.0, false}}, {false, false}},
        SpellingCase{"NameNotAsTextIsAlwaysFolded",
                     {Row{std::nullopt, 0, 0.2, true}, Row{std::nullopt, 0, 0.1, true}}, {false, false}},
        SpellingCase{"EditFlagNotAWholeNumberIsAlwaysFolded",
                     {Row{QByteArrayView("France"), std::nullopt, 0.2, true},
                      Row{QByteArrayView("France"), std::nullopt, 0.1, true}},
                     {false, false}}),
    [](const auto &info) { return std::string(info.param.name); });

// More spellings than are remembered: a forgotten one is folded again.
TEST(FoldedSpellings, ForgetsSpellingsBeyondItsBoundAndFoldsThemAgain)
{
    FoldedSpellings folded;
    std::vector<QByteArray> names;
    for (int i = 0; i < 10000; ++i)
        names.push_back("Ziel " + QByteArray::number(i));
    for (const QByteArray &name : names)
        EXPECT_FALSE(folded.Unchanging({QByteArrayView(name), 0, 0.1, true}));
    int unchanging = 0;
    for (const QByteArray &name : names)
        unchanging += folded.Unchanging({QByteArrayView(name), 0, 0.1, true}) ? 1 : 0;
    EXPECT_LT(unchanging, 10000);
}

class FoldedNames : public MergeFixture {};

// The invariant the fold rests on: the rows it leaves out change nothing.
// Many rows of few spellings, in every type a tariff may hold, give the
// table that folding every row gives.
TEST_F(FoldedNames, GiveTheTableThatFoldingEveryRowGives)
{
    const QStringList spellings = {"'France'", "'FRANCE'", "'france'", "'Österreich'", "'ÖSTERREICH'", "'A b'",
                                   "'a B'", "''", "X'4142'", "12"};
    const QStringList prices = {"NULL", "0", "0.1", "0.25", "0.2500", "1", "2", "0.3", "'abc'", "'0.9x'", "X'01'",
                                "9007199254740993"};
    std::mt19937 random(7);
    QString script = QStringLiteral("BEGIN; DELETE FROM Numbers;");
    for (int i = 0; i < 3000; ++i) {
        // Without a purchase price and below 0 never, a price is read as it is stored.
        script += QStringLiteral("INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, IsEdited) "
                                 "VALUES ('00%1', %2, %3, NULL, %4);")
                      .arg(i)
                      .arg(spellings[random() % spellings.size()], prices[random() % prices.size()])
                      .arg(random() % 2);
    }
    tariff.Execute(script + QStringLiteral("COMMIT;"));
    Stage({{"0033", "France", "0.1"}});
    PhaseRunner runner(*this, rule, progress, messages);
    ASSERT_TRUE(runner.PriceStagedRows()) << messages.Texts().join(u'\n').toStdString();
    ASSERT_TRUE(runner.Rows(QStringLiteral(
                                "CREATE TEMP TABLE EveryRowFolded (NameKey TEXT NOT NULL, Name TEXT, Price_EUR NUMERIC, "
                                "IsEdited INTEGER NOT NULL, Eins INTEGER, PRIMARY KEY (NameKey, IsEdited)) WITHOUT ROWID"))
                    .isEmpty());
    runner.Rows(QStringLiteral(
        "INSERT INTO EveryRowFolded (NameKey, Name, Price_EUR, IsEdited, Eins) "
        "SELECT CaseKey(Name), Name, Price_EUR, IsEdited, 1 FROM main.Numbers WHERE Name IS NOT NULL "
        "ON CONFLICT (NameKey, IsEdited) DO UPDATE SET Name = MIN(Name, excluded.Name), "
        "Price_EUR = CASE WHEN Price_EUR IS NULL OR excluded.Price_EUR > Price_EUR THEN excluded.Price_EUR "
        "ELSE Price_EUR END WHERE excluded.Name < Name OR excluded.Price_EUR > Price_EUR "
        "OR (Price_EUR IS NULL AND excluded.Price_EUR IS NOT NULL)"));
    const QString columns = QStringLiteral("NameKey, Name, typeof(Name), Price_EUR, typeof(Price_EUR), IsEdited");
    const QStringList expected =
        runner.Rows(QStringLiteral("SELECT %1 FROM EveryRowFolded ORDER BY NameKey, IsEdited").arg(columns));
    EXPECT_GT(expected.size(), 10);
    EXPECT_EQ(runner.Rows(QStringLiteral("SELECT %1 FROM tmpMaxPreis ORDER BY NameKey, IsEdited").arg(columns)),
              expected);
}

} // namespace
} // namespace preisliste::test
