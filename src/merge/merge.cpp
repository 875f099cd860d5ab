#include "merge/merge.h"

#include "db/runcontext.h"
#include "db/sqlfunction.h"
#include "db/sqliteextensions.h"
#include "merge/foldedspellings.h"
#include "merge/mergestatements.h"
#include "merge/texthashset.h"
#include "pricing/pricingrule.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <functional>

namespace preisliste {

namespace {

// ImportState codes of Import2.
constexpr int kStateVote = 3;
constexpr int kStateParent = 4;

SqliteConnection &Database(const MergeContext &merge)
{
    return merge.run.database;
}

// Records why the merge cannot go on; the step then answers false.
void RecordFailure(MergeContext &merge, const QString &description)
{
    merge.failure = StageResult::Failed(description);
}

// What a phase whose steps answered `completed` returns: a step that failed
// has recorded why; one that answered false without a reason was stopped.
StageResult PhaseResult(const MergeContext &merge, bool completed)
{
    if (completed)
        return StageResult::Done();
    return merge.failure ? *merge.failure : StageResult::Stopped();
}

// Reports how far the merge is, 0..100; true when the operator asked to
// stop. The merge then ends at once, without a message.
bool Stopped(MergeContext &merge, int percent)
{
    return StageProgressed(merge.run, percent);
}

// The merge's progress while a walk goes through its rows: the walks take
// most of the time, so they get most of the range.
struct WalkRange {
    int from;
    int to;
};
constexpr WalkRange kVoteRange{20, 50};
constexpr WalkRange kParentRange{50, 80};

// Runs one statement that returns no rows. False after recording why it
// failed. `rowsAffected` receives the rows the engine reports as changed.
bool Execute(MergeContext &merge, const QString &sql, int *rowsAffected = nullptr)
{
    SqliteStatement statement = Database(merge).Prepare(sql);
    if (statement.Failed() || !statement.Run()) {
        RecordFailure(merge, statement.Error());
        return false;
    }
    if (rowsAffected)
        *rowsAffected = int(Database(merge).Changes());
    return true;
}

bool ExecuteAll(MergeContext &merge, const QStringList &statements)
{
    for (const QString &sql : statements) {
        if (!Execute(merge, sql))
            return false;
    }
    return true;
}

// The single number a query returns; empty after recording why not.
std::optional<qint64> QueryNumber(MergeContext &merge, const QString &sql)
{
    SqliteStatement statement = Database(merge).Prepare(sql);
    if (statement.Next())
        return statement.Int64(0);
    RecordFailure(merge, statement.Failed() ? statement.Error() : QStringLiteral("keine Antwort auf ") + sql);
    return std::nullopt;
}

// --- The two passes over the unpriced rows ------------------------------------

// One row of the walk; name and key stay valid until the walk moves on.
struct UnpricedRow {
    qint64 rowId = 0;
    QByteArrayView name;
    Currency purchase;
    std::optional<double> selling;
    QByteArrayView key; // CaseKey(name)
};

// The group of rows that shares one look-up: one destination name in the
// vote, one name and purchase price in the parent search. A group without a
// price (none found, or a Null price found) assigns nothing.
struct Group {
    QByteArray name;
    QByteArray key;
    Currency purchase;
    std::optional<double> price;
    QByteArray oldName;
};

bool SameName(const UnpricedRow &row, const Group &group)
{
    return row.key == group.key;
}

UnpricedRow ReadUnpricedRow(const SqliteStatement &rows)
{
    return {rows.Int64(0), rows.Utf8(1), Currency::FromDouble(rows.Double(2)), rows.Price(3), rows.Utf8(4)};
}

int RowPercent(int counter, qint64 total)
{
    return total > 0 ? int(std::nearbyint(double(counter) * 100.0 / double(total))) : 100;
}

using StartsGroup = std::function<bool(const UnpricedRow &, const Group &)>;
using PriceGroup = std::function<bool(Group &)>;

// Walks the rows still without a state, sorted by name and purchase price.
// The first row and every row for which `startsGroup` holds begin a new group,
// which `priceGroup` prices with one look-up; each row of a priced group that
// does not carry the group's price yet gets it, with `state` and the group's
// old name. Each pass groups its rows afresh, starting with its first row: a
// name and price remembered from the vote would otherwise let the first group
// of the parent search (same name, purchase price 0) skip its look-up.
bool WalkUnpricedRows(MergeContext &merge, WalkRange range, int state, const StartsGroup &startsGroup,
                      const PriceGroup &priceGroup)
{
    const std::optional<qint64> total = QueryNumber(merge, mergesql::CountUnpricedRows());
    if (!total)
        return false;
    SqliteStatement rows = Database(merge).Prepare(mergesql::SelectUnpricedRows());
    SqliteStatement assign = Database(merge).Prepare(mergesql::AssignGroupPrice());
    if (rows.Failed() || assign.Failed()) {
        RecordFailure(merge, rows.Failed() ? rows.Error() : assign.Error());
        return false;
    }
    Group group;
    bool inGroup = false;
    int counter = 0;
    while (rows.Next()) {
        const UnpricedRow row = ReadUnpricedRow(rows);
        if (!inGroup || startsGroup(row, group)) {
            inGroup = true;
            group = Group{row.name.toByteArray(), row.key.toByteArray(), row.purchase, std::nullopt, {}};
            if (!priceGroup(group))
                return false;
        }
        const bool hasGroupPrice = group.price && *group.price >= 0;
        if (hasGroupPrice && row.selling != group.price) {
            assign.BindDouble(1, *group.price);
            assign.BindInt(2, state);
            assign.BindText(3, group.oldName);
            assign.BindInt64(4, row.rowId);
            if (!assign.Run()) {
                RecordFailure(merge, assign.Error());
                return false;
            }
        }
        ++counter;
        if (Stopped(merge, range.from + RowPercent(counter, *total) * (range.to - range.from) / 100))
            return false;
    }
    if (rows.Failed()) {
        RecordFailure(merge, rows.Error());
        return false;
    }
    return true;
}

// The vote: the most frequent price among the destination's priced rows.
bool VoteForGroupPrice(MergeContext &merge, SqliteStatement &vote, Group &group)
{
    vote.BindText(1, group.key);
    if (vote.Next()) {
        ++merge.NewPrefixCount;
        group.oldName = vote.Utf8(2).toByteArray();
        if (vote.Int64(1) >= 1)
            group.price = vote.Double(0);
    }
    vote.Reset();
    if (vote.Failed()) {
        RecordFailure(merge, vote.Error());
        return false;
    }
    return true;
}

// The keys of the parent names of a name, longest first: the name with its
// trailing words dropped one at a time. A parent needs at least one
// character before the blank. `visit` answers false to end the walk through
// them.
void ForEachParentKey(QByteArrayView utf8Name, const std::function<bool(const QByteArray &)> &visit)
{
    const QString name = QString::fromUtf8(utf8Name);
    for (qsizetype blank = name.lastIndexOf(u' '); blank > 0; blank = name.lastIndexOf(u' ', blank - 1)) {
        if (!visit(CaseKey(name.left(blank).toUtf8())))
            return;
    }
}

// The parent search: stops at the first parent name that has a staged row
// with exactly the group's purchase price, whatever that row's price or
// state.
bool FindParentPrice(MergeContext &merge, SqliteStatement &lookup, Group &group)
{
    bool failed = false;
    ForEachParentKey(group.name, [&](const QByteArray &parentKey) {
        lookup.BindText(1, parentKey);
        lookup.BindDouble(2, group.purchase.ToDouble());
        const bool found = lookup.Next();
        if (found) {
            ++merge.NewSubdestinationCount;
            group.oldName = lookup.Utf8(0).toByteArray();
            group.price = lookup.Price(1);
        }
        lookup.Reset();
        failed = lookup.Failed();
        return !found && !failed;
    });
    if (failed)
        RecordFailure(merge, lookup.Error());
    return !failed;
}

// How a text is looked up in a set of members: as it is, or by its CaseKey
// (made here, not by the SQL function: a call per row less).
enum class MemberKey { Text, CaseKey };

// Runs `sql` while the SQL function `name` answers whether the text of its
// one argument may be in `members` (Null is in none); the statement decides
// by its own comparison. A set in memory answers a million look-ups in a
// fraction of the time the engine's own list takes. False after recording
// why not.
bool ExecuteWithMembers(MergeContext &merge, const char *name, const TextHashSet &members, MemberKey key,
                        const QString &sql, int *rowsAffected = nullptr)
{
    const ScopedSqlFunction isMember(Database(merge), name, 1, [&members, key](SqlFunctionCall &call) {
        if (call.IsNull(0)) {
            call.ReturnBool(false);
            return;
        }
        const QByteArrayView text = call.Utf8(0);
        call.ReturnBool(members.MayContain(key == MemberKey::CaseKey ? QByteArrayView(CaseKey(text)) : text));
    });
    if (!isMember.Registered()) {
        RecordFailure(merge, Database(merge).Error());
        return false;
    }
    return Execute(merge, sql, rowsAffected);
}

// The tariff forms of the unpriced rows' prefixes; empty after recording why
// not.
std::optional<TextHashSet> ReadUnpricedPrefixes(MergeContext &merge)
{
    SqliteStatement prefixes = Database(merge).Prepare(mergesql::SelectUnpricedPrefixes());
    TextHashSet read;
    while (prefixes.Next()) {
        if (!prefixes.IsNull(0))
            read.Insert(prefixes.Utf8(0));
    }
    if (prefixes.Failed()) {
        RecordFailure(merge, prefixes.Error());
        return std::nullopt;
    }
    return read;
}

bool MatchOldRowsByPrefix(MergeContext &merge)
{
    const std::optional<TextHashSet> unpriced = ReadUnpricedPrefixes(merge);
    return unpriced
           && ExecuteWithMembers(merge, mergesql::kIsUnpricedPrefix, *unpriced, MemberKey::Text,
                                 mergesql::MatchByPrefix(merge.NewPriceFactor, merge.MinRate), &merge.SamePrefixCount);
}

// The keys of the unpriced rows' names and of their parent names; empty
// after recording why not.
std::optional<TextHashSet> GatherWalkKeys(MergeContext &merge)
{
    SqliteStatement names = Database(merge).Prepare(mergesql::SelectUnpricedNames());
    TextHashSet keys;
    while (names.Next()) {
        const QByteArrayView name = names.Utf8(0);
        keys.Insert(CaseKey(name));
        ForEachParentKey(name, [&](const QByteArray &parentKey) {
            keys.Insert(parentKey);
            return true;
        });
    }
    if (names.Failed()) {
        RecordFailure(merge, names.Error());
        return std::nullopt;
    }
    return keys;
}

// The staged rows the walks may look up (tmpWalkRows): those with the key
// of an unpriced row's name or of one of its parent names. A list matched
// wholly by name or prefix leaves the walks no row, and its staged rows are
// not read again.
bool GatherRowsForTheWalks(MergeContext &merge)
{
    const std::optional<qint64> unpriced = QueryNumber(merge, mergesql::CountUnpricedRows());
    if (!unpriced || !ExecuteAll(merge, mergesql::CreateWalkTables()))
        return false;
    if (*unpriced > 0) {
        const std::optional<TextHashSet> keys = GatherWalkKeys(merge);
        if (!keys || !ExecuteWithMembers(merge, mergesql::kIsWalkName, *keys, MemberKey::CaseKey,
                                         mergesql::GatherWalkRows()))
            return false;
    }
    return Execute(merge, mergesql::IndexWalkRows());
}

// An old tariff row as FoldedSpellings judges it: Name, price, IsEdited.
FoldedSpellings::Row SpellingRow(const SqliteStatement &rows)
{
    // Doubles hold every whole number up to 2^53 exactly.
    constexpr qint64 kLargestExactWhole = qint64(1) << 53;
    FoldedSpellings::Row row;
    if (rows.Type(0) == SQLITE_TEXT)
        row.name = rows.Utf8(0);
    if (rows.Type(2) == SQLITE_INTEGER)
        row.editFlag = rows.Int64(2);
    switch (rows.Type(1)) {
    case SQLITE_NULL:
        break;
    case SQLITE_FLOAT:
        row.price = rows.Double(1);
        break;
    case SQLITE_INTEGER:
        row.price = double(rows.Int64(1));
        row.priceIsPlainNumber = std::abs(rows.Int64(1)) <= kLargestExactWhole;
        break;
    default:
        row.priceIsPlainNumber = false;
    }
    return row;
}

// Folds the old tariff's named rows into tmpMaxPreis in one sweep; a row
// that cannot change its name's row there is not handed to the statement,
// whose look-up and comparisons took most of the time. False after
// recording why not.
bool FoldOldNames(MergeContext &merge)
{
    using namespace mergesql;
    SqliteStatement rows = Database(merge).Prepare(SelectNamedOldRows(merge.NewPriceFactor, merge.MinRate));
    SqliteStatement fold = Database(merge).Prepare(FoldOldName());
    FoldedSpellings folded;
    bool ok = !rows.Failed() && !fold.Failed();
    while (ok && rows.Next()) {
        if (folded.Unchanging(SpellingRow(rows)))
            continue;
        ok = fold.BindColumn(1, rows, 0) && fold.BindColumn(2, rows, 1) && fold.BindColumn(3, rows, 2);
        if (!ok) {
            RecordFailure(merge, QStringLiteral("Nicht genug Arbeitsspeicher für den Namensabgleich."));
            return false;
        }
        ok = fold.Run();
    }
    if (!ok || rows.Failed())
        RecordFailure(merge, rows.Failed() ? rows.Error() : fold.Error());
    return ok && !rows.Failed();
}

// The rows the name match priced; false after recording why not.
bool CountNameMatches(MergeContext &merge)
{
    const std::optional<qint64> count = QueryNumber(merge, mergesql::CountNameMatches());
    if (count)
        merge.SameNameCount = int(*count);
    return count.has_value();
}

} // namespace

std::optional<MergeContext> CreateMergeContext(const PricingRule &rule, RunContext &context)
{
    const double margin = rule.margin();
    const bool useMinSellRate = rule.UseMinSellRate;
    const Currency minSellRate = rule.MinSellRateValue;
    const double vat = rule.VAT();
    MergeContext merge{context, useMinSellRate ? minSellRate : Currency(), (vat + 1.0) * (margin / 100.0 + 1.0)};
    if (!std::isfinite(merge.NewPriceFactor))
        return std::nullopt;
    return merge;
}

StageResult CleanUpBeforeMerge(MergeContext &merge)
{
    using namespace mergesql;
    if (Stopped(merge, 0) || !ExecuteAll(merge, DropLeftoverTables()))
        return PhaseResult(merge, false);
    SqliteStatement columns = Database(merge).Prepare(ListNumbersColumns());
    bool hasIsEdited = false;
    while (!hasIsEdited && columns.Next())
        hasIsEdited = columns.Text(1).compare(QLatin1String("IsEdited"), Qt::CaseInsensitive) == 0;
    if (columns.Failed())
        return StageResult::Failed(columns.Error());
    return PhaseResult(merge, (hasIsEdited || Execute(merge, AddIsEditedColumn()))
                                  && Execute(merge, ClearMissingIsEdited()));
}

StageResult PrepareNameLookup(MergeContext &merge)
{
    using namespace mergesql;
    return PhaseResult(merge, !Stopped(merge, 1) && Execute(merge, CreateNameMaxima()) && FoldOldNames(merge)
                                  && ExecuteAll(merge, BuildBestNames()));
}

StageResult PrepareStagedRows(MergeContext &merge)
{
    using namespace mergesql;
    const bool cleanedUpByTheImport = merge.namesMatched.onStaging;
    if (Stopped(merge, 9) || (!cleanedUpByTheImport && !Execute(merge, CleanUpStagedRows())))
        return PhaseResult(merge, false);
    // A list without one usable row would replace the whole tariff by the
    // kept national rows.
    const std::optional<qint64> hasRows = QueryNumber(merge, HasStagedRows());
    if (!hasRows)
        return PhaseResult(merge, false);
    if (*hasRows == 0)
        return StageResult::Failed(kNoValidEntriesMessage, FailureKind::Sentence);
    return PhaseResult(merge, !Stopped(merge, 10));
}

// The rows the import matched by name as it stored them need no second
// look-up, nor a count.
StageResult CarryOverSellingPrices(MergeContext &merge)
{
    using namespace mergesql;
    if (Stopped(merge, 13))
        return StageResult::Stopped();
    if (merge.namesMatched.onStaging)
        merge.SameNameCount = merge.namesMatched.matchedRows;
    else if (!Execute(merge, MatchByName()) || !CountNameMatches(merge))
        return PhaseResult(merge, false);
    return PhaseResult(merge, !Stopped(merge, 15) && Execute(merge, IndexRowsWithoutState())
                                  && MatchOldRowsByPrefix(merge) && !Stopped(merge, 17)
                                  && (!merge.namesMatched.matchesLackPrices
                                      || Execute(merge, FillInMatchedPrices(merge.NewPriceFactor, merge.MinRate))));
}

StageResult PriceByDestinationVote(MergeContext &merge)
{
    if (Stopped(merge, kVoteRange.from) || !GatherRowsForTheWalks(merge))
        return PhaseResult(merge, false);
    SqliteStatement vote = Database(merge).Prepare(mergesql::VoteForPrice());
    if (vote.Failed())
        return StageResult::Failed(vote.Error());
    const bool walked = WalkUnpricedRows(
        merge, kVoteRange, kStateVote,
        [](const UnpricedRow &row, const Group &group) { return !SameName(row, group); },
        [&](Group &group) { return VoteForGroupPrice(merge, vote, group); });
    return PhaseResult(merge, walked);
}

StageResult PriceByParentName(MergeContext &merge)
{
    SqliteStatement lookup = Database(merge).Prepare(mergesql::FindParentRow());
    if (lookup.Failed())
        return StageResult::Failed(lookup.Error());
    const bool walked = WalkUnpricedRows(
        merge, kParentRange, kStateParent,
        [](const UnpricedRow &row, const Group &group) {
            return !SameName(row, group) || row.purchase != group.purchase;
        },
        [&](Group &group) { return FindParentPrice(merge, lookup, group); });
    return PhaseResult(merge, walked);
}

StageResult PriceNewDestinations(MergeContext &merge)
{
    using namespace mergesql;
    return PhaseResult(merge, !Stopped(merge, 81)
                                  && Execute(merge, PriceRemainingRows(merge.NewPriceFactor, merge.MinRate),
                                             &merge.NewDestinationCount));
}

StageResult WriteBackTariff(MergeContext &merge)
{
    using namespace mergesql;
    const bool kept = !Stopped(merge, 84) && Execute(merge, KeepMissingNationalRows(merge.NewPriceFactor, merge.MinRate));
    if (!kept || merge.end == MergeEnd::KeepStaged)
        return PhaseResult(merge, kept && !Stopped(merge, 100));
    return PhaseResult(merge, !Stopped(merge, 88) && Execute(merge, EmptyNumbers())
           && !Stopped(merge, 90) && Execute(merge, FillNumbersFromStaging())
           && !Stopped(merge, 99) && ExecuteAll(merge, DropStagingAndTmpMaxPreis())
           && !Stopped(merge, 100));
}

StageResult WriteBackStagedRows(RunContext &context, const QString &sellingPriceFunction)
{
    using namespace mergesql;
    MergeContext merge{context};
    return PhaseResult(merge, Execute(merge, EmptyNumbers())
                                  && Execute(merge, FillNumbersFromStaging(sellingPriceFunction)));
}

std::optional<qint64> StagedRowsAtMost(RunContext &context, QString &error)
{
    MergeContext merge{context};
    const std::optional<qint64> rows = QueryNumber(merge, mergesql::LastStagedRow());
    if (!rows)
        error = merge.failure->reason;
    return rows;
}

QString StoredPrefixOfStagedRow(RunContext &context, const QString &stagedPrefix)
{
    SqliteStatement stored = context.database.Prepare(mergesql::StoredPrefixOfStagedRow());
    stored.BindString(1, stagedPrefix);
    return stored.Next() ? stored.Text(0) : stagedPrefix;
}

QString UpdateStatisticsText(const MergeContext &merge)
{
    return QStringList{
        QStringLiteral("Updatestatistik"),
        QString(),
        QStringLiteral("Identischer Name: %1").arg(merge.SameNameCount),
        QStringLiteral("Identischer Prefix: %1").arg(merge.SamePrefixCount),
        QStringLiteral("Neuer Prefix: %1").arg(merge.NewPrefixCount),
        QStringLiteral("Neue Subdestination: %1").arg(merge.NewSubdestinationCount),
        QStringLiteral("Ganz neue Destinationen: %1").arg(merge.NewDestinationCount),
    }.join(QStringLiteral("\r\n"));
}

namespace {

// Runs `phases` in order on `merge`, up to the first that does not finish.
template <typename... Phase>
StageResult RunPhases(MergeContext &merge, Phase... phases)
{
    StageResult result = StageResult::Done();
    for (const auto phase : {phases...}) {
        result = phase(merge);
        if (!result.IsDone())
            break;
    }
    return result;
}

const QString kRuleNotANumber = QStringLiteral("Mehrwertsteuer oder Marge der Preisregel ist keine Zahl.");

} // namespace

StageResult PrepareNameMatch(const PricingRule &rule, RunContext &context)
{
    std::optional<MergeContext> merge = CreateMergeContext(rule, context);
    if (!merge)
        return StageResult::Failed(kRuleNotANumber);
    const StageResult result = RunPhases(*merge, CleanUpBeforeMerge, PrepareNameLookup);
    if (result.IsDone() && Stopped(*merge, 100))
        return StageResult::Stopped();
    return result;
}

StageResult MergePriceList(const PricingRule &rule, RunContext &context, MergeStatistics *statistics,
                           NamesMatched namesMatched, MergeEnd end)
{
    std::optional<MergeContext> merge = CreateMergeContext(rule, context);
    if (!merge)
        return StageResult::Failed(kRuleNotANumber);
    merge->namesMatched = namesMatched;
    merge->end = end;
    StageResult result = StageResult::Done();
    if (!namesMatched.onStaging)
        result = RunPhases(*merge, CleanUpBeforeMerge, PrepareNameLookup);
    else if (Stopped(*merge, 0))
        result = StageResult::Stopped();
    if (result.IsDone())
        result = RunPhases(*merge, PrepareStagedRows, CarryOverSellingPrices, PriceByDestinationVote,
                           PriceByParentName, PriceNewDestinations, WriteBackTariff);
    if (!result.IsDone())
        return result;
    if (statistics)
        *statistics = {merge->SameNameCount, merge->SamePrefixCount, merge->NewPrefixCount,
                       merge->NewSubdestinationCount, merge->NewDestinationCount};
    return StageResult::Done(StageNotice{kUpdateInfoTitle, UpdateStatisticsText(*merge)});
}

} // namespace preisliste
