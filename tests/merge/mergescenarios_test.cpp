// The merge end to end on a real tariff: an old tariff in Numbers, a price
// list in Import2, MergePriceList, then the new tariff and the statistics.
#include "mergefixture.h"

#include <QVariant>

#include <array>
#include <vector>

namespace preisliste::test {
namespace {

const QVariant kNull;

struct OldRow {
    QString number;
    QString name;
    QVariant price;
    QVariant rate;
    int edited = 0;
};

// SameName, SamePrefix, NewPrefix, NewSubdestination, NewDestination.
using Counters = std::array<int, 5>;

struct Scenario {
    const char *name;
    std::vector<OldRow> old;
    std::vector<StagedRow> staged;
    double minRate; // 0: the rule uses no minimum
    QStringList tariff;
    Counters counters;
};

void PrintTo(const Scenario &scenario, std::ostream *os)
{
    *os << scenario.name;
}

class MergeScenario : public MergeFixture, public testing::WithParamInterface<Scenario> {};

TEST_P(MergeScenario, GivesTheTariffAndTheStatistics)
{
    const Scenario &scenario = GetParam();
    for (const OldRow &row : scenario.old) {
        tariff.AddNumber(row.number, row.name, row.price, row.rate);
        if (row.edited)
            tariff.Execute(QStringLiteral("UPDATE Numbers SET IsEdited=1 WHERE rowid=(SELECT MAX(rowid) FROM Numbers)"));
    }
    Stage(scenario.staged);
    if (scenario.minRate > 0)
        UseMinRate(scenario.minRate);

    ASSERT_TRUE(Merge()) << messages.Texts().join(u'\n').toStdString();

    EXPECT_EQ(Tariff(), scenario.tariff);
    const Counters &c = scenario.counters;
    EXPECT_EQ(StatisticsLine(QStringLiteral("Identischer Name: ")), QStringLiteral("Identischer Name: %1").arg(c[0]));
    EXPECT_EQ(StatisticsLine(QStringLiteral("Identischer Prefix: ")), QStringLiteral("Identischer Prefix: %1").arg(c[1]));
    EXPECT_EQ(StatisticsLine(QStringLiteral("Neuer Prefix: ")), QStringLiteral("Neuer Prefix: %1").arg(c[2]));
    EXPECT_EQ(StatisticsLine(QStringLiteral("Neue Subdestination: ")),
              QStringLiteral("Neue Subdestination: %1").arg(c[3]));
    EXPECT_EQ(StatisticsLine(QStringLiteral("Ganz neue Destinationen: ")),
              QStringLiteral("Ganz neue Destinationen: %1").arg(c[4]));
}

// Old rows and list rows are given in the order they are stored. Prices are
// computed as ROUND(purchase x 1.1944625 + 0.0049, 2): 0.01 -> 0.02,
// 0.05 -> 0.06, 0.1 -> 0.12, 0.5 -> 0.6, 2.9999 -> 3.59.
const Scenario kPreparation[] = {
    {"ComputedPriceIsRaisedToTheMinimumOnInternationalPrefix",
     {{"0033", "Alt", kNull, 0.01}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.1|0.5"}, {0, 1, 0, 0, 0}},
    {"ComputedPriceStaysBelowTheMinimumOnNationalPrefix",
     {{"089", "Alt", kNull, 0.01}}, {{"004989", "Neu", "0.5"}}, 0.10,
     {"089|Neu|0.02|0.5"}, {0, 1, 0, 0, 0}},
    {"ComputedPriceStaysBelowTheMinimumOnPrefixWithoutZero",
     {{"112", "Alt", kNull, 0.01}}, {{"0111112", "Neu", "0.5"}}, 0.10,
     {"112|Neu|0.02|0.5"}, {0, 1, 0, 0, 0}},
    {"ComputedPriceIsNotRaisedWithoutMinimum",
     {{"0033", "Alt", kNull, 0.01}}, {{"0033", "Neu", "0.5"}}, 0,
     {"0033|Neu|0.02|0.5"}, {0, 1, 0, 0, 0}},
    {"ExistingPriceBelowTheMinimumIsKept",
     {{"0033", "Alt", 0.05, 0.01}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.05|0.5"}, {0, 1, 0, 0, 0}},
    {"ExistingPriceAboveTheMinimumIsKept",
     {{"0033", "Alt", 0.15, 0.01}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.15|0.5"}, {0, 1, 0, 0, 0}},
    {"NegativePriceTurnsPositiveAndIsRaisedOnInternationalPrefix",
     {{"0033", "Alt", -0.05, 0.01}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.1|0.5"}, {0, 1, 0, 0, 0}},
    {"NegativePriceTurnsPositiveOnNationalPrefix",
     {{"089", "Alt", -0.05, 0.01}}, {{"004989", "Neu", "0.5"}}, 0.10,
     {"089|Neu|0.05|0.5"}, {0, 1, 0, 0, 0}},
    {"NegativePriceTurnsPositiveWithoutMinimum",
     {{"0033", "Alt", -0.05, 0.01}}, {{"0033", "Neu", "0.5"}}, 0,
     {"0033|Neu|0.05|0.5"}, {0, 1, 0, 0, 0}},
    {"NegativeComputedPriceTurnsPositiveWithoutBeingRaised",
     {{"0033", "Alt", kNull, -0.05}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.05|0.5"}, {0, 1, 0, 0, 0}},
    {"ComputedPriceAtTheMinimumStaysAsComputed",
     {{"0033", "Alt", kNull, 0.0795}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.1|0.5"}, {0, 1, 0, 0, 0}},
    {"ZeroPriceStaysZeroOnInternationalPrefix",
     {{"0033", "Alt", 0, 0.01}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0|0.5"}, {0, 1, 0, 0, 0}},
    {"NegativePriceAboveTheMinimumTurnsPositive",
     {{"0033", "Alt", -0.25, 0.01}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.25|0.5"}, {0, 1, 0, 0, 0}},
    {"EmptyPriceWithoutPurchasePriceIsComputedFromTheList",
     {{"0033", "Alt", kNull, kNull}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.6|0.5"}, {0, 1, 0, 0, 0}},
    {"PriceOfThreeIsRemovedFromTheList",
     {}, {{"0033", "France", "0.05"}, {"0034", "Spain", "3"}}, 0,
     {"0033|France|0.06|0.05"}, {0, 0, 0, 0, 1}},
    {"PriceJustBelowThreeStaysInTheList",
     {}, {{"0033", "France", "0.05"}, {"0034", "Spain", "2.9999"}}, 0,
     {"0033|France|0.06|0.05", "0034|Spain|3.59|2.9999"}, {0, 0, 0, 0, 2}},
    {"NonNumericPrefixIsRemovedFromTheList",
     {}, {{"0033", "France", "0.05"}, {"Spain", "0034", "0.05"}, {"00x34", "Spain", "0.05"}}, 0,
     {"0033|France|0.06|0.05"}, {0, 0, 0, 0, 1}},
    {"MissingPrefixIsRemovedFromTheList",
     {}, {{"0033", "France", "0.05"}, {QString(), "Spain", "0.05"}}, 0,
     {"0033|France|0.06|0.05"}, {0, 0, 0, 0, 1}},
    {"NewPriceFactorDividesTheMarginOnceMore",
     {}, {{"0033", "France", "0.1"}}, 0,
     {"0033|France|0.12|0.1"}, {0, 0, 0, 0, 1}},
};
INSTANTIATE_TEST_SUITE_P(Preparation, MergeScenario, testing::ValuesIn(kPreparation),
                         [](const auto &info) { return std::string(info.param.name); });

const Scenario kCarryOver[] = {
    {"NameMatchComesBeforePrefixMatch",
     {{"0049301", "Germany", 0.3, 0.1}, {"0033", "France", 0.2, 0.1}}, {{"0033", "Germany", "0.01"}}, 0,
     {"0033|Germany|0.3|0.01"}, {1, 0, 0, 0, 0}},
    {"NamesCompareWithoutLetterCase",
     {{"0049301", "Germany", 0.3, 0.1}, {"0033", "France", 0.2, 0.1}}, {{"0033", "germany", "0.01"}}, 0,
     {"0033|germany|0.3|0.01"}, {1, 0, 0, 0, 0}},
    {"NamesCompareWithoutLetterCaseOfUmlauts",
     {{"0043", "Österreich", 0.25, 0.1}}, {{"00431", "ÖSTERREICH", "0.01"}}, 0,
     {"00431|ÖSTERREICH|0.25|0.01"}, {1, 0, 0, 0, 0}},
    {"NameTakesItsHighestOldPrice",
     {{"0033", "France", 0.10, 0.05}, {"00331", "France", 0.12, 0.05}, {"00332", "France", 0.11, 0.05}},
     {{"0033", "France", "0.01"}, {"00339", "France", "0.01"}}, 0,
     {"0033|France|0.12|0.01", "00339|France|0.12|0.01"}, {2, 0, 0, 0, 0}},
    {"NameWithEditedAndUneditedRowsTakesTheHigherPriceOnce",
     {{"0033", "France", 0.3, 0.1, 1}, {"00331", "France", 0.2, 0.1, 0}}, {{"00339", "FRANCE", "0.01"}}, 0,
     {"00339|FRANCE|0.3|0.01"}, {1, 0, 0, 0, 0}},
    {"NameWithUneditedAndEditedRowsTakesTheHigherPriceOnce",
     {{"0033", "France", 0.3, 0.1, 0}, {"00331", "France", 0.2, 0.1, 1}}, {{"00339", "FRANCE", "0.01"}}, 0,
     {"00339|FRANCE|0.3|0.01"}, {1, 0, 0, 0, 0}},
    {"PrefixMatchCarriesTheOldPriceToANewName",
     {{"0033", "France", 0.2, 0.1}}, {{"0033", "Frankreich", "0.01"}}, 0,
     {"0033|Frankreich|0.2|0.01"}, {0, 1, 0, 0, 0}},
    {"PrefixHeldTwiceTakesTheHigherPrice",
     {{"0033", "France", 0.2, 0.1}, {"0033", "Frankreich", 0.25, 0.1}}, {{"0033", "Neu", "0.01"}}, 0,
     {"0033|Neu|0.25|0.01"}, {0, 1, 0, 0, 0}},
    {"PrefixHeldTwiceTakesThePricedRow",
     {{"0033", "France", kNull, kNull}, {"0033", "Frankreich", 0.2, 0.1}}, {{"0033", "Neu", "0.01"}}, 0,
     {"0033|Neu|0.2|0.01"}, {0, 1, 0, 0, 0}},
    {"CarriedPriceBelowTheMinimumIsKept",
     {{"0033", "France", 0.05, 0.01}}, {{"0033", "France", "0.01"}}, 0.10,
     {"0033|France|0.05|0.01"}, {1, 0, 0, 0, 0}},
    {"CarriedEmptyPriceIsComputedFromTheList",
     {{"0033", "Alt", kNull, kNull}}, {{"0033", "Neu", "0.5"}}, 0.10,
     {"0033|Neu|0.6|0.5"}, {0, 1, 0, 0, 0}},
    {"CarriedEmptyPriceByNameIsRaisedOnNationalPrefix",
     {{"030", "Berlin", kNull, kNull}}, {{"004930", "Berlin", "0.01"}}, 0.10,
     {"030|Berlin|0.1|0.01"}, {1, 0, 0, 0, 0}},
    {"CarriedEmptyPriceByPrefixIsRaisedOnNationalPrefix",
     {{"030", "Alt", kNull, kNull}}, {{"004930", "Berlin", "0.01"}}, 0.10,
     {"030|Berlin|0.1|0.01"}, {0, 1, 0, 0, 0}},
    {"CarriedEmptyPriceAtTheMinimumStaysAsComputed",
     {{"0033", "Alt", kNull, kNull}}, {{"0033", "Neu", "0.0795"}}, 0.10,
     {"0033|Neu|0.1|0.0795"}, {0, 1, 0, 0, 0}},
    {"CarriedEmptyPriceWithoutPurchasePriceStaysEmptyDespiteTheMinimum",
     {{"0033", "Alt", kNull, kNull}}, {{"0033", "Neu", QString()}}, 0.10,
     {"0033|Neu|NULL|NULL"}, {0, 1, 0, 0, 0}},
    {"OldRowsWithoutNameMatchByPrefixOnly",
     {{"0033", QString(), 0.2, 0.1}, {"0034", QString(), 0.3, 0.1}},
     {{"0033", "France", "0.01"}, {"0035", QString(), "0.05"}},
     0, {"0033|France|0.2|0.01", "0035|NULL|0.06|0.05"}, {0, 1, 0, 0, 1}},
    {"EmptyOldTariffMatchesNothing",
     {}, {{"0033", "France", "0.05"}}, 0,
     {"0033|France|0.06|0.05"}, {0, 0, 0, 0, 1}},
};
INSTANTIATE_TEST_SUITE_P(CarryOver, MergeScenario, testing::ValuesIn(kCarryOver),
                         [](const auto &info) { return std::string(info.param.name); });

const Scenario kUnmatched[] = {
    {"VoteTakesTheMostFrequentPriceCountingTheNameOnce",
     {{"00991", "Altland", 0.2, 0.1}, {"00992", "Altland", 0.2, 0.1}, {"00993", "Altland", 0.25, 0.1}},
     {{"00991", "Neuland", "0.05"}, {"00992", "Neuland", "0.05"}, {"00993", "Neuland", "0.05"},
      {"00994", "Neuland", "0.05"}, {"00995", "Neuland", "0.05"}}, 0,
     {"00991|Neuland|0.2|0.05", "00992|Neuland|0.2|0.05", "00993|Neuland|0.25|0.05", "00994|Neuland|0.2|0.05",
      "00995|Neuland|0.2|0.05"},
     {0, 3, 1, 0, 0}},
    {"VoteTieTakesTheHigherPrice",
     {{"00991", "Altland", 0.2, 0.1}, {"00992", "Altland", 0.25, 0.1}},
     {{"00991", "Neuland", "0.05"}, {"00992", "Neuland", "0.05"}, {"00993", "Neuland", "0.05"}}, 0,
     {"00991|Neuland|0.2|0.05", "00992|Neuland|0.25|0.05", "00993|Neuland|0.25|0.05"}, {0, 2, 1, 0, 0}},
    {"VoteIgnoresLetterCase",
     {{"00991", "Altland", 0.2, 0.1}}, {{"00991", "NEULAND", "0.05"}, {"00992", "neuland", "0.05"}}, 0,
     {"00991|NEULAND|0.2|0.05", "00992|neuland|0.2|0.05"}, {0, 1, 1, 0, 0}},
    {"VoteIgnoresLetterCaseOfUmlauts",
     {{"00431", "Alt", 0.2, 0.1}}, {{"00431", "Österreich Mobil", "0.05"}, {"00432", "ÖSTERREICH MOBIL", "0.05"}}, 0,
     {"00431|Österreich Mobil|0.2|0.05", "00432|ÖSTERREICH MOBIL|0.2|0.05"}, {0, 1, 1, 0, 0}},
    {"NameWithoutPricedRowsGetsNoVote",
     {}, {{"00994", "Neuland", "0.05"}}, 0,
     {"00994|Neuland|0.06|0.05"}, {0, 0, 0, 0, 1}},
    {"SubdestinationTakesTheParentPriceAtTheSamePurchasePrice",
     {{"0088", "X", 0.09, 0.05}},
     {{"0088", "Atlantis Mobile", "0.05"}, {"00881", "Atlantis Mobile Red", "0.05"},
      {"00882", "Atlantis Mobile Red", "0.05"}}, 0,
     {"0088|Atlantis Mobile|0.09|0.05", "00881|Atlantis Mobile Red|0.09|0.05", "00882|Atlantis Mobile Red|0.09|0.05"},
     {0, 1, 0, 1, 0}},
    {"ParentSearchDropsWordsUntilThePurchasePriceMatches",
     {{"0088", "X", 0.09, 0.05}, {"0087", "Y", 0.11, 0.05}},
     {{"0088", "Atlantis Mobile", "0.06"}, {"0087", "Atlantis", "0.05"}, {"00881", "Atlantis Mobile Red", "0.05"}}, 0,
     {"0087|Atlantis|0.11|0.05", "0088|Atlantis Mobile|0.09|0.06", "00881|Atlantis Mobile Red|0.11|0.05"},
     {0, 2, 0, 1, 0}},
    {"PurchasePricesOfOneNameFormGroupsOfTheirOwn",
     {{"0088", "X", 0.09, 0.05}, {"00880", "Z", 0.10, 0.05}},
     {{"0088", "Atlantis Mobile", "0.05"}, {"00880", "Atlantis Mobile", "0.06"},
      {"00881", "Atlantis Mobile Red", "0.05"}, {"00882", "Atlantis Mobile Red", "0.06"}}, 0,
     {"0088|Atlantis Mobile|0.09|0.05", "00880|Atlantis Mobile|0.1|0.06", "00881|Atlantis Mobile Red|0.09|0.05",
      "00882|Atlantis Mobile Red|0.1|0.06"},
     {0, 2, 0, 2, 0}},
    {"SubdestinationGroupsIgnoreLetterCase",
     {{"0088", "X", 0.09, 0.05}},
     {{"0088", "Atlantis Mobile", "0.05"}, {"00881", "atlantis mobile red", "0.05"},
      {"00882", "ATLANTIS MOBILE RED", "0.05"}}, 0,
     {"0088|Atlantis Mobile|0.09|0.05", "00881|atlantis mobile red|0.09|0.05", "00882|ATLANTIS MOBILE RED|0.09|0.05"},
     {0, 1, 0, 1, 0}},
    {"ParentRowsWithTheSamePurchasePriceGiveTheHigherPrice",
     {{"0088", "X", 0.09, 0.05}, {"00880", "Y", 0.12, 0.05}},
     {{"0088", "Atlantis Mobile", "0.05"}, {"00880", "Atlantis Mobile", "0.05"},
      {"00881", "Atlantis Mobile Red", "0.05"}}, 0,
     {"0088|Atlantis Mobile|0.09|0.05", "00880|Atlantis Mobile|0.12|0.05", "00881|Atlantis Mobile Red|0.12|0.05"},
     {0, 2, 0, 1, 0}},
    {"NameWithoutBlankFindsNoParent",
     {{"0088", "X", 0.09, 0.05}}, {{"0088", "Atlant", "0.05"}, {"00881", "AtlantisX", "0.05"}}, 0,
     {"0088|Atlant|0.09|0.05", "00881|AtlantisX|0.06|0.05"}, {0, 1, 0, 0, 1}},
    {"ParentWithoutPriceEndsTheSearch",
     {},
     {{"0087", "Atlantis", "0.05"}, {"0088", "Atlantis Mobile", "0.05"}, {"00881", "Atlantis Mobile Red", "0.05"}}, 0,
     {"0087|Atlantis|0.06|0.05", "0088|Atlantis Mobile|0.06|0.05", "00881|Atlantis Mobile Red|0.06|0.05"},
     {0, 0, 0, 2, 3}},
    {"OnlyUnpricedNameFindsItsParentAtPurchasePriceZero",
     {{"0088", "X", 0.09, 0.0}}, {{"0088", "Atlantis Mobile", "0"}, {"00881", "Atlantis Mobile Red", "0"}}, 0,
     {"0088|Atlantis Mobile|0.09|0", "00881|Atlantis Mobile Red|0.09|0"}, {0, 1, 0, 1, 0}},
    {"EmptyPurchasePriceReachesTheTariffWithoutPrice",
     {}, {{"0033", "France", QString()}, {"0034", "Spain", "0.05"}}, 0,
     {"0033|France|NULL|NULL", "0034|Spain|0.06|0.05"}, {0, 0, 0, 0, 2}},
    {"EmptyPurchasePriceKeepsACarriedPrice",
     {{"0033", "France", 0.2, 0.1}}, {{"0033", "France", QString()}}, 0,
     {"0033|France|0.2|NULL"}, {1, 0, 0, 0, 0}},
    {"RowWithoutNameIsPricedAsNewDestination",
     {{"00991", "Alt", 0.2, 0.1}}, {{"00991", "Neuland", "0.05"}, {"00992", QString(), "0.05"}}, 0,
     {"00991|Neuland|0.2|0.05", "00992|NULL|0.06|0.05"}, {0, 1, 0, 0, 1}},
    {"NewDestinationsAreRaisedToTheMinimumOnAnyPrefix",
     {}, {{"0033", "A", "0.01"}, {"004930", "B", "0.01"}, {"0111112", "C", "0.01"}}, 0.10,
     {"0033|A|0.1|0.01", "030|B|0.1|0.01", "112|C|0.1|0.01"}, {0, 0, 0, 0, 3}},
    {"NewDestinationWithoutPurchasePriceStaysEmptyDespiteTheMinimum",
     {}, {{"0033", "France", QString()}, {"0034", "Spain", "0.2"}}, 0.10,
     {"0033|France|NULL|NULL", "0034|Spain|0.24|0.2"}, {0, 0, 0, 0, 2}},
    {"NameWithApostropheGetsItsVote",
     {{"00225", "Alt", 0.2, 0.1}}, {{"00225", "Cote d'Ivoire", "0.05"}, {"002251", "Cote d'Ivoire", "0.05"}}, 0,
     {"00225|Cote d'Ivoire|0.2|0.05", "002251|Cote d'Ivoire|0.2|0.05"}, {0, 1, 1, 0, 0}},
    {"NameWithApostropheFindsItsParent",
     {{"00225", "Alt", 0.2, 0.1}}, {{"00225", "Cote d'Ivoire", "0.05"}, {"002259", "Cote d'Ivoire Mobile", "0.05"}}, 0,
     {"00225|Cote d'Ivoire|0.2|0.05", "002259|Cote d'Ivoire Mobile|0.2|0.05"}, {0, 1, 0, 1, 0}},
    {"PercentInNameIsNoPatternInTheVote",
     {{"00991", "Alt", 0.3, 0.1}}, {{"00991", "AB", "0.05"}, {"00992", "A%", "0.05"}}, 0,
     {"00991|AB|0.3|0.05", "00992|A%|0.06|0.05"}, {0, 1, 0, 0, 1}},
    {"UnderscoreInParentNameIsNoPattern",
     {{"00991", "Alt", 0.3, 0.1}}, {{"00991", "AB", "0.05"}, {"00992", "A_ Red", "0.05"}}, 0,
     {"00991|AB|0.3|0.05", "00992|A_ Red|0.06|0.05"}, {0, 1, 0, 0, 1}},
};
INSTANTIATE_TEST_SUITE_P(Unmatched, MergeScenario, testing::ValuesIn(kUnmatched),
                         [](const auto &info) { return std::string(info.param.name); });

const Scenario kWriteBack[] = {
    {"NationalRowMatchesInListFormAndMissingOneIsKept",
     {{"030", "Berlin", 0.05, 0.01}, {"089", "München", 0.06, 0.01}}, {{"004930", "Deutschland Berlin", "0.02"}}, 0,
     {"030|Deutschland Berlin|0.05|0.02", "089|München|0.06|0.01"}, {0, 1, 0, 0, 0}},
    {"MarkerRoundTripByName",
     {{"112", "Notruf", 0.15, 0.0}}, {{"0111112", "Notruf", "0"}}, 0,
     {"112|Notruf|0.15|0"}, {1, 0, 0, 0, 0}},
    {"MarkerRoundTripByPrefixGivesOneRow",
     {{"112", "Notruf", 0.15, 0.0}}, {{"0111112", "Emergency", "0"}}, 0,
     {"112|Emergency|0.15|0"}, {0, 1, 0, 0, 0}},
    {"RowWithoutZeroMissingFromTheListIsGone",
     {{"112", "Notruf", 0.15, 0.0}}, {{"0033", "France", "0.05"}}, 0,
     {"0033|France|0.06|0.05"}, {0, 0, 0, 0, 1}},
    {"InternationalRowMissingFromTheListIsGone",
     {{"0044", "UK", 0.3, 0.1}}, {{"0033", "France", "0.05"}}, 0,
     {"0033|France|0.06|0.05"}, {0, 0, 0, 0, 1}},
    {"NationalRowBeginningWith0111IsKeptAsItWas",
     {{"01115", "Sonder", 0.5, 0.2}}, {{"0033", "France", "0.05"}}, 0,
     {"0033|France|0.06|0.05", "01115|Sonder|0.5|0.2"}, {0, 0, 0, 0, 1}},
    {"NationalRowBeginningWith0111MatchesItsListForm",
     {{"01115", "Sonder", 0.5, 0.2}}, {{"00491115", "Sonderruf", "0.2"}}, 0,
     {"01115|Sonderruf|0.5|0.2"}, {0, 1, 0, 0, 0}},
    {"RowsStoredInListFormAreNotKept",
     {{"004930", "Berlin alt", 0.05, 0.01}}, {{"0033", "France", "0.05"}}, 0,
     {"0033|France|0.06|0.05"}, {0, 0, 0, 0, 1}},
};
INSTANTIATE_TEST_SUITE_P(WriteBack, MergeScenario, testing::ValuesIn(kWriteBack),
                         [](const auto &info) { return std::string(info.param.name); });

// The prefix match compares an old prefix in the list's form with the
// staged one: which old prefix a staged one finds, and which it cannot.
const Scenario kPrefixForms[] = {
    {"ZeroAloneIsTheNationalFormWithoutDigits",
     {{"0", "Alt", 0.2, 0.1}}, {{"0049", "Neu", "0.1"}}, 0,
     {"0|Neu|0.2|0.1"}, {0, 1, 0, 0, 0}},
    {"EmptyOldPrefixIsTheMarkerAlone",
     {{"", "Alt", 0.2, 0.1}}, {{"0111", "Neu", "0.1"}}, 0,
     {"|Neu|0.2|0.1"}, {0, 1, 0, 0, 0}},
    {"NationalFormFollowedByZeroComesFromNoOldRow",
     {{"0033", "Alt", 0.2, 0.1}, {"00033", "Alt2", 0.3, 0.1}}, {{"00490033", "Neu", "0.1"}}, 0,
     {"00033|Neu|0.12|0.1"}, {0, 0, 0, 0, 1}},
    {"MarkerFollowedByZeroComesFromNoOldRow",
     {{"0", "Alt", 0.2, 0.1}, {"01110", "Alt2", 0.3, 0.1}}, {{"01110", "Neu", "0.1"}}, 0,
     {"0|Alt|0.2|0.1", "0|Neu|0.12|0.1", "01110|Alt2|0.3|0.1"}, {0, 0, 0, 0, 1}},
    {"OldRowInTheListsNationalFormIsNotMatched",
     {{"004930", "Alt", 0.2, 0.1}}, {{"004930", "Neu", "0.1"}}, 0,
     {"030|Neu|0.12|0.1"}, {0, 0, 0, 0, 1}},
    {"OldRowInTheListsNationalFormIsNotMatchedBesideAMarkedPrefix",
     {{"004930", "Alt", 0.2, 0.1}}, {{"004930", "Neu", "0.1"}, {"0111004930", "Neu2", "0.1"}}, 0,
     {"004930|Neu2|0.12|0.1", "030|Neu|0.12|0.1"}, {0, 0, 0, 0, 2}},
    {"OldRowInTheListsNationalFormIsNotMatchedBesideANationalOne",
     {{"004930", "Alt", 0.2, 0.1}}, {{"004930", "Neu", "0.1"}, {"004904930", "Neu2", "0.1"}}, 0,
     {"004930|Neu2|0.12|0.1", "030|Neu|0.12|0.1"}, {0, 0, 0, 0, 2}},
};
INSTANTIATE_TEST_SUITE_P(PrefixForms, MergeScenario, testing::ValuesIn(kPrefixForms),
                         [](const auto &info) { return std::string(info.param.name); });

// The old tariff's empty and negative selling prices are filled in and
// corrected alike wherever the merge reads them: for the name match and for
// the national rows it keeps (the prefix match is in kPreparation).
const Scenario kFilledInOldPrices[] = {
    {"EmptyOldPriceIsComputedForTheNameMatch",
     {{"0044", "Alt", kNull, 0.1}}, {{"0033", "ALT", "0.5"}}, 0,
     {"0033|ALT|0.12|0.5"}, {1, 0, 0, 0, 0}},
    {"NegativeOldPriceTurnsPositiveForTheNameMatch",
     {{"0044", "Alt", -0.25, 0.01}}, {{"0033", "alt", "0.5"}}, 0.10,
     {"0033|alt|0.25|0.5"}, {1, 0, 0, 0, 0}},
    {"NegativeOldPriceBelowTheMinimumIsRaisedForTheNameMatch",
     {{"0044", "Alt", -0.05, 0.01}}, {{"0033", "alt", "0.5"}}, 0.10,
     {"0033|alt|0.1|0.5"}, {1, 0, 0, 0, 0}},
    {"EmptyOldPriceWithoutPurchasePriceIsComputedFromTheListForTheNameMatch",
     {{"0044", "Alt", kNull, kNull}}, {{"0033", "alt", "0.5"}}, 0,
     {"0033|alt|0.6|0.5"}, {1, 0, 0, 0, 0}},
    {"EmptyOldPriceOfAKeptNationalRowIsComputed",
     {{"0301", "Berlin", kNull, 0.1}}, {{"0033", "France", "0.1"}}, 0,
     {"0033|France|0.12|0.1", "0301|Berlin|0.12|0.1"}, {0, 0, 0, 0, 1}},
    {"NegativeOldPriceOfAKeptNationalRowTurnsPositiveWithoutBeingRaised",
     {{"0301", "Berlin", -0.05, 0.1}}, {{"0033", "France", "0.1"}}, 0.10,
     {"0033|France|0.12|0.1", "0301|Berlin|0.05|0.1"}, {0, 0, 0, 0, 1}},
};
INSTANTIATE_TEST_SUITE_P(FilledInOldPrices, MergeScenario, testing::ValuesIn(kFilledInOldPrices),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace preisliste::test
