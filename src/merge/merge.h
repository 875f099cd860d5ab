#pragma once

#include "common/currency.h"
#include "common/stageresult.h"

#include <QString>

#include <optional>

namespace preisliste {

class PricingRule;
struct RunContext;

// How the rows of a finished merge got their selling prices: the figures of
// the "Update Info" statistics.
struct MergeStatistics {
    int sameName = 0;
    int samePrefix = 0;
    int newPrefix = 0;
    int newSubdestination = 0;
    int newDestinations = 0;
};

// Who gives the staged rows their name match: the merge itself, or the
// import, which stores each row with it when PrepareNameMatch has run first
// and the import stores its rows through mergesql::StageRowMatchingItsName().
// Such an import has counted the rows it matched, and has left out every
// line that the merge would clean up (a prefix that is not a number, a
// purchase price of 3 or more).
struct NamesMatched {
    static NamesMatched ByTheMerge() { return {}; }
    static NamesMatched OnStaging(int matchedRows, bool matchesLackPrices = true)
    {
        return {true, matchedRows, matchesLackPrices};
    }

    bool onStaging = false;
    int matchedRows = 0;           // by the import
    bool matchesLackPrices = true; // false: every row matched by name got a price (known only on staging)
};

// The first part of a merge whose import matches the names: the old
// tariff's names gathered with their prices, filled in, for the look-up, before
// the price list is staged. The merge then goes on with
// MergePriceList(..., NamesMatched::OnStaging(rows)).
StageResult PrepareNameMatch(const PricingRule &rule, RunContext &context);

// How a merge ends: with Numbers replaced by the staged rows, or with the
// rows still staged, for the caller to write back with WriteBackStagedRows()
// in a stage of its own.
enum class MergeEnd { WriteBack, KeepStaged };

// Merges the price list staged in Import2 into the tariff table Numbers, on
// the run's connection and inside its transaction: the operator's selling
// prices carry over wherever a destination name or prefix is recognised, the
// rest is priced, and Numbers is replaced by the staged rows. A finished
// merge has the "Update Info" statistics as its notice, and as figures in
// `statistics` when given; after a stop or a failure the caller rolls back.
StageResult MergePriceList(const PricingRule &rule, RunContext &context, MergeStatistics *statistics = nullptr,
                           NamesMatched namesMatched = NamesMatched::ByTheMerge(), MergeEnd end = MergeEnd::WriteBack);

// The write-back of a merge that ended with MergeEnd::KeepStaged, as the
// merge itself would have done it: Numbers emptied and refilled from the
// staged rows, each row's selling price passed through the SQL function
// `sellingPriceFunction` (see mergesql::FillNumbersFromStaging) when named.
// It reports no progress: the function may. The working tables are left to
// go with the connection, which discards them at once: dropping them took a
// tenth of the write-back on a big list. So a connection serves one run.
StageResult WriteBackStagedRows(RunContext &context, const QString &sellingPriceFunction);

// At least as many as the rows WriteBackStagedRows() writes, and close to
// it, for its progress; empty, with why in `error`, when the engine cannot
// tell.
std::optional<qint64> StagedRowsAtMost(RunContext &context, QString &error);

// The prefix a staged row is stored with, from the staged prefix that
// WriteBackStagedRows() passes to its function; the staged prefix itself
// when the engine cannot tell.
QString StoredPrefixOfStagedRow(RunContext &context, const QString &stagedPrefix);

// The values of one merge, passed to every phase.
struct MergeContext {
    RunContext &run;
    Currency MinRate{};          // the rule's minimum selling price when it uses one, else 0
    double NewPriceFactor = 1.0; // purchase price -> computed selling price
    int SameNameCount = 0;
    int SamePrefixCount = 0;
    int NewPrefixCount = 0;
    int NewSubdestinationCount = 0;
    int NewDestinationCount = 0;
    NamesMatched namesMatched = NamesMatched::ByTheMerge();
    MergeEnd end = MergeEnd::WriteBack;
    std::optional<StageResult> failure{}; // why a step could not go on
};

// Reads margin, UseMinSellRate, MinSellRateValue and VAT of the rule, in this
// order. The factor is (VAT + 1) x (margin / 100 + 1): the margin, already a
// fraction, is divided by 100 once more, so VAT 19 % and margin 37.5 % give
// 1.1944625. The recalculation after the merge applies the operator's full
// rule to the rows it selects. Empty when the factor is no finite number.
std::optional<MergeContext> CreateMergeContext(const PricingRule &rule, RunContext &context);

// The phases in the order MergePriceList runs them.
StageResult CleanUpBeforeMerge(MergeContext &merge);
StageResult PrepareNameLookup(MergeContext &merge);
StageResult PrepareStagedRows(MergeContext &merge);
StageResult CarryOverSellingPrices(MergeContext &merge);
StageResult PriceByDestinationVote(MergeContext &merge);
StageResult PriceByParentName(MergeContext &merge);
StageResult PriceNewDestinations(MergeContext &merge);
StageResult WriteBackTariff(MergeContext &merge);

inline const QString kUpdateInfoTitle = QStringLiteral("Update Info");
inline const QString kNoValidEntriesMessage = QStringLiteral("Die Preisliste enthält keine gültigen Einträge.");

// The text of the statistics message, lines separated by CR LF.
QString UpdateStatisticsText(const MergeContext &merge);

} // namespace preisliste
