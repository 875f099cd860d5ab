#include "merge/mergestatements.h"

#include "db/sqliteextensions.h"
#include "merge/sqlnumber.h"

// Conventions of these statements:
// - The working tables (Import2, tmpMaxPreis, tmpBestName) live in the
//   connection's temporary schema, never in the tariff file: the commit then
//   writes and syncs only Numbers, the file does not grow from run to run,
//   and the tables vanish with the connection, whatever happened to the run.
// - Destination names are compared without regard to letter case for every
//   letter, umlauts included, through their key CaseKey(name): each name is
//   folded once, and the keys are compared, grouped and indexed byte by byte.
// - Dial prefixes are digits and compare as they are.
// - Numbers keeps the old tariff until the write-back empties it: the
//   matches read it there, rather than from a copy of a million rows. Its
//   empty and negative selling prices are read filled in and corrected
//   (OldPriceFilledIn), never written back: the old rows are replaced in the
//   end anyway, and rewriting them first cost a pass over every row.
// - Where the old tariff offers several candidates for one staged row, a
//   fixed rule picks the winner, so that the same input always gives the same
//   tariff; each rule is written next to its statement.

namespace preisliste::mergesql {

namespace {

// The computed selling price: purchase price with VAT and margin, taken up to
// whole cents by the added 0.0049.
QString ComputedPrice(const QString &purchaseColumn, double newPriceFactor)
{
    return QStringLiteral("ROUND(%1*%2+0.0049, 2)").arg(purchaseColumn, SqlNumber(newPriceFactor));
}

// The computed selling price, raised to the minimum where it lies below it.
// A price that cannot be computed (no purchase price) stays empty, because
// SQL's MAX() of an empty value is empty; on equal values MAX() keeps the
// computed one.
QString ComputedPriceAtLeast(const QString &purchaseColumn, double newPriceFactor, Currency minRate)
{
    return QStringLiteral("MAX(%1, %2)").arg(ComputedPrice(purchaseColumn, newPriceFactor), SqlNumber(minRate));
}

// The prefix of an old tariff row in the price list's form, by one rule
// only: a number without a leading 0 gets the marker "0111", a national
// number (one leading 0) becomes "0049" followed by the number without its
// 0. (Applied one after the other, the second rule would convert the output
// of the first again: 112 -> 0111112 -> 0049111112.) Typed as text, as the
// staged prefixes are, so that the engine may look the two up in each other
// by an index; without the type it ranks every staged row against every
// old candidate.
const QString kOldPrefixInListForm = QStringLiteral(
    "CAST(CASE WHEN Number LIKE '00%' THEN Number WHEN Number LIKE '0%' THEN '0049' || substr(Number, 2) "
    "ELSE '0111' || Number END AS TEXT)");

// The one old prefix that kOldPrefixInListForm turns into a staged prefix,
// typed as text, or nothing where no old row may turn into it: "0049"
// followed by the rest comes from "0" followed by the rest, the marker "0111"
// followed by the rest from the rest alone, any other "00…" from itself. A
// rest that begins with 0 gives nothing: "0" and such a rest is an
// international number, which stays as it is, a number with a leading 0
// never gets the marker, and so rows already stored in the list's national
// form (0049…), which no staged row may match, never come into question.
// The prefix match looks the old rows up by this prefix, computed for the
// few staged rows still without a price, rather than converting the prefix
// of every old row to compare it.
const QString kStagedPrefixInTariffForm = QStringLiteral(
    "CAST(CASE WHEN Vorwahl LIKE '0049%' THEN "
    "CASE WHEN substr(Vorwahl, 5) LIKE '0%' THEN NULL ELSE '0' || substr(Vorwahl, 5) END "
    "WHEN Vorwahl LIKE '0111%' THEN CASE WHEN substr(Vorwahl, 5) LIKE '0%' THEN NULL ELSE substr(Vorwahl, 5) END "
    "WHEN Vorwahl LIKE '00%' THEN Vorwahl END AS TEXT)");

} // namespace

// --- Start of the merge --------------------------------------------------------

// Working tables that older versions kept in the tariff file itself and
// that an earlier run left there.
QStringList DropLeftoverTables()
{
    return {
        QStringLiteral("DROP TABLE IF EXISTS main.NumbersPrevious"),
        QStringLiteral("DROP TABLE IF EXISTS main.tmpMaxPreis"),
        QStringLiteral("DROP TABLE IF EXISTS main.Import2"),
    };
}

// A tariff made by an older Telvoro has no column IsEdited yet.
QString ListNumbersColumns()
{
    return QStringLiteral("PRAGMA table_info(Numbers)");
}

QString AddIsEditedColumn()
{
    return QStringLiteral("ALTER TABLE Numbers ADD COLUMN IsEdited BIT NOT NULL DEFAULT 0");
}

QString ClearMissingIsEdited()
{
    return QStringLiteral("UPDATE Numbers SET IsEdited=0 WHERE IsEdited IS NULL");
}

// --- PrepareNameLookup: the old tariff ---------------------------------------------

namespace {

// The selling price of an old tariff row as the merge reads it: a missing
// one is filled in and a negative one turned positive, every other price is
// read as it is:
// - a row without a price but with a purchase price gets the computed price;
//   on an international prefix (00…) one between 0 and the minimum is raised
//   to the minimum; a negative one (negative purchase price) turns positive
//   without being raised;
// - a negative price turns positive, and on an international prefix is
//   raised to the minimum where it lies below it;
// - prices from 0 up to below the minimum stay as they are, on any prefix.
QString OldPriceFilledIn(double newPriceFactor, Currency minRate)
{
    const QString computed = ComputedPrice(QStringLiteral("Rate_EK"), newPriceFactor);
    const QString minimum = SqlNumber(minRate);
    return QStringLiteral(
               "(CASE WHEN Price_EUR IS NULL AND Rate_EK IS NOT NULL THEN "
               "CASE WHEN %1 > 0 AND %1 < %2 AND Number LIKE '00%' THEN %2 ELSE ABS(%1) END "
               "WHEN Price_EUR < 0 THEN CASE WHEN -Price_EUR < %2 AND Number LIKE '00%' THEN %2 ELSE -Price_EUR END "
               "ELSE Price_EUR END)")
        .arg(computed, minimum);
}

} // namespace

// tmpMaxPreis: per destination name (its key) and edit flag the highest
// selling price of Numbers, filled in (an empty price counts as none,
// a price beats none). Of several spellings of one name the binary smallest
// is kept. Rows without a name have no name to match and are left out.
// The rows are read in one sweep (SelectNamedOldRows), each folded into its
// name's row by key (FoldOldName: ?1 name, ?2 price, ?3 edit flag), which is
// rewritten only when the row brings a higher price or a smaller spelling:
// a tariff has many rows per name, and grouping them by sorting a million
// rows took three times as long.
QString CreateNameMaxima()
{
    return QStringLiteral("CREATE TEMP TABLE tmpMaxPreis (NameKey TEXT NOT NULL, Name TEXT, Price_EUR NUMERIC, "
                          "IsEdited INTEGER NOT NULL, Eins INTEGER, PRIMARY KEY (NameKey, IsEdited)) WITHOUT ROWID");
}

QString SelectNamedOldRows(double newPriceFactor, Currency minRate)
{
    return QStringLiteral("SELECT Name, %1, IsEdited FROM main.Numbers WHERE Name IS NOT NULL")
        .arg(OldPriceFilledIn(newPriceFactor, minRate));
}

QString FoldOldName()
{
    return QStringLiteral("INSERT INTO tmpMaxPreis (NameKey, Name, Price_EUR, IsEdited, Eins) "
                          "VALUES (CaseKey(?1), ?1, ?2, ?3, 1) "
                          "ON CONFLICT (NameKey, IsEdited) DO UPDATE SET "
                          "Name = MIN(Name, excluded.Name), "
                          "Price_EUR = CASE WHEN Price_EUR IS NULL OR excluded.Price_EUR > Price_EUR "
                          "THEN excluded.Price_EUR ELSE Price_EUR END "
                          "WHERE excluded.Name < Name OR excluded.Price_EUR > Price_EUR "
                          "OR (Price_EUR IS NULL AND excluded.Price_EUR IS NOT NULL)");
}

// tmpBestName: per name the higher of its two maxima and its smallest
// spelling, looked up by key in the name match. A name with rows of both
// edit flags thus takes the highest price of the name whatever its flag.
QStringList BuildBestNames()
{
    return {
        QStringLiteral("CREATE TEMP TABLE tmpBestName (NameKey TEXT PRIMARY KEY, BestName TEXT, BestPrice NUMERIC) "
                       "WITHOUT ROWID"),
        QStringLiteral("INSERT INTO tmpBestName (NameKey, BestName, BestPrice) "
                       "SELECT NameKey, MIN(Name), MAX(Price_EUR) FROM tmpMaxPreis GROUP BY NameKey"),
    };
}

// The name match of MatchByName below, made as the import stores each row
// once tmpBestName is built: the row's name is looked up by its key (?1),
// and the row is stored (?1 prefix, ?2 name, ?3 purchase price) with the
// name's price and spelling and state 1 when found, else with nothing
// (?4, ?5, ?6). Storing the matched values at once spares rewriting nearly
// every staged row afterwards, which took about as long as the import.
QString LookUpBestName()
{
    return QStringLiteral("SELECT BestPrice, BestName FROM tmpBestName WHERE NameKey = ?1");
}

QString StageRowMatchingItsName()
{
    return QStringLiteral("INSERT INTO Import2 (Vorwahl, Ziel, PreisEk, VkPreis, OldName, ImportState) "
                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
}

// --- PrepareStagedRows: the price list ---------------------------------------------

// Rows whose prefix is not a number and rows with a purchase price of 3 or
// more per minute are no destinations.
QString CleanUpStagedRows()
{
    return QStringLiteral("DELETE FROM Import2 WHERE NOT IsNumeric(Vorwahl) OR PreisEk>=3");
}

QString HasStagedRows()
{
    return QStringLiteral("SELECT EXISTS (SELECT 1 FROM Import2)");
}

// --- CarryOverSellingPrices --------------------------------------------------------

// Name match: the highest old selling price of the name (tmpBestName), and
// its spelling as the old name; each staged row is counted once. The rows
// are updated in one sweep, each looking its name up by key. No row has a
// price, an old name or a state yet, so a row whose name is not found keeps
// what it has (nothing); sparing it a second look-up for the test would cost
// more than writing it.
QString MatchByName()
{
    return QStringLiteral(
        "UPDATE Import2 SET (VkPreis, OldName, ImportState) = "
        "(SELECT BestPrice, BestName, 1 FROM tmpBestName WHERE NameKey = CaseKey(Import2.Ziel)) "
        "WHERE ImportState IS NULL");
}

QString CountNameMatches()
{
    return QStringLiteral("SELECT COUNT(*) FROM Import2 WHERE ImportState = 1");
}

// Prefix match: the old row's selling price, filled in, and name; where
// the old row gives no price, the computed one, at least the minimum, as
// FillInMatchedPrices below would give it. A prefix that the old tariff
// holds twice takes the row with the higher selling price (a price beats
// none); on equal prices the row stored first wins.
// Only the old rows whose prefix a staged row still lacking a price has are
// ranked (the prefix as text, whatever the type it is stored with, compared
// byte for byte); each staged row is joined to the one winner of its prefix
// and counted once. IsUnpricedPrefix lets through the old rows whose prefix
// may be one that SelectUnpricedPrefixes gives (the merge holds their hashes
// in memory: a million old rows probed into the engine's own list of them
// took half the match); the join on the prefix decides.
QString SelectUnpricedPrefixes()
{
    return QStringLiteral("SELECT %1 FROM Import2 INDEXED BY Import2_WithoutState WHERE ImportState IS NULL")
        .arg(kStagedPrefixInTariffForm);
}

QString MatchByPrefix(double newPriceFactor, Currency minRate)
{
    return QStringLiteral(
               "UPDATE Import2 SET VkPreis = IFNULL(Best.Price_EUR, %4), OldName = Best.Name, ImportState = 2 "
               "FROM (SELECT Prefix, Name, Price_EUR, "
               "ROW_NUMBER() OVER (PARTITION BY Prefix ORDER BY Price_EUR DESC, StoredAt) AS Rank "
               "FROM (SELECT %1 AS Prefix, Name, %2 AS Price_EUR, rowid AS StoredAt FROM main.Numbers "
               "WHERE %3(CAST(Number AS TEXT)))) AS Best "
               "WHERE Best.Rank = 1 AND Import2.ImportState IS NULL AND Import2.Vorwahl = Best.Prefix")
        .arg(kOldPrefixInListForm, OldPriceFilledIn(newPriceFactor, minRate), QLatin1String(kIsUnpricedPrefix),
             ComputedPriceAtLeast(QStringLiteral("Import2.PreisEk"), newPriceFactor, minRate));
}

// A matched row whose old price was empty gets the computed price, at least
// the minimum (on any prefix). One sweep sets both, as the rows it fills are
// exactly those that the minimum may raise. The prefix match fills in its
// own rows; the sweep reads every staged row, so the merge leaves it out
// when it knows that every row matched by name has a price.
QString FillInMatchedPrices(double newPriceFactor, Currency minRate)
{
    return QStringLiteral("UPDATE Import2 SET VkPreis=")
           + ComputedPriceAtLeast(QStringLiteral("PreisEk"), newPriceFactor, minRate)
           + QStringLiteral(" WHERE VkPreis IS NULL AND ImportState IS NOT NULL");
}

// The rows still without a state once the names are matched, a small part
// of a usual list, in the order they are stored: the statements over these
// rows from the prefix match on read them through this index instead of
// reading every staged row. A row leaves the index as it gets its state.
QString IndexRowsWithoutState()
{
    return QStringLiteral("CREATE INDEX Import2_WithoutState ON Import2 (ImportState) WHERE ImportState IS NULL");
}

// --- PriceByDestinationVote and PriceByParentName ------------------------------------
// Both passes walk the unpriced rows sorted by name and purchase price. A row
// without a destination name cannot belong to a destination: it takes part
// in neither pass and is priced as a new destination.

namespace {
const QString kUnpricedRows = QStringLiteral(
    "ImportState IS NULL AND PreisEk IS NOT NULL AND Ziel IS NOT NULL AND Ziel <> ''");
}

QString CountUnpricedRows()
{
    return QStringLiteral("SELECT COUNT(*) FROM Import2 WHERE ") + kUnpricedRows;
}

// The look-ups of the two walks (the vote and the parent search) go by the
// keys of the names the walks ask for: the keys of the unpriced rows' names
// and of their parent names, gathered first in memory (the merge answers
// IsWalkName from them). tmpWalkRows then holds each staged row that has one
// of those keys, with its key and purchase price (declared as in Import2, so
// that it compares with a bound price as the staged column does), indexed
// for the look-ups; the look-ups read the row's current name and price in
// Import2 by its rowid, so a price that the vote assigns is seen by the
// parent search. The walks ask for few names, and indexing only their rows
// spares indexing every staged row by its key. Without a row to walk the
// table stays empty.
QStringList CreateWalkTables()
{
    return {
        QStringLiteral("DROP TABLE IF EXISTS temp.tmpWalkRows"),
        QStringLiteral("CREATE TEMP TABLE tmpWalkRows (StagedRow INTEGER PRIMARY KEY, NameKey TEXT, PreisEk CURRENCY)"),
    };
}

QString SelectUnpricedNames()
{
    return QStringLiteral("SELECT Ziel FROM Import2 INDEXED BY Import2_WithoutState WHERE ") + kUnpricedRows;
}

QString GatherWalkRows()
{
    return QStringLiteral("INSERT INTO tmpWalkRows (StagedRow, NameKey, PreisEk) "
                          "SELECT rowid, CaseKey(Ziel), PreisEk FROM Import2 WHERE %1(Ziel)")
        .arg(QLatin1String(kIsWalkName));
}

QString IndexWalkRows()
{
    return QStringLiteral("CREATE INDEX tmpWalkRows_NameKeyPreisEk ON tmpWalkRows (NameKey, PreisEk)");
}

// The rows are read in one sweep and sorted before the first one is
// returned, so the updates of the pass never disturb the walk. The order
// within a name does not matter to the vote; one order serves both passes.
// A parent name is a leading part of its children's names, so its rows come
// before theirs in the order of the keys, as the parent search needs.
QString SelectUnpricedRows()
{
    return QStringLiteral("SELECT rowid, Ziel, PreisEk, VkPreis, CaseKey(Ziel) AS ZielKey FROM Import2 "
                          "INDEXED BY Import2_WithoutState WHERE %1 ORDER BY ZielKey, PreisEk, rowid")
        .arg(kUnpricedRows);
}

// The most frequent selling price among the destination's priced rows. On a
// tie the higher price wins.
QString VoteForPrice()
{
    return QStringLiteral(
        "SELECT VkPreis, COUNT(VkPreis) AS AnzahlvonVkPreis, MIN(Ziel) AS NameFound "
        "FROM tmpWalkRows JOIN Import2 ON Import2.rowid = tmpWalkRows.StagedRow "
        "WHERE tmpWalkRows.NameKey = ?1 AND VkPreis IS NOT NULL "
        "GROUP BY VkPreis ORDER BY COUNT(VkPreis) DESC, VkPreis DESC LIMIT 1");
}

// A staged row of the parent name with exactly the purchase price, whatever
// its state. Of several such rows the one with the highest selling price wins
// (a price beats none); on equal prices the row staged first.
QString FindParentRow()
{
    return QStringLiteral("SELECT Ziel, VkPreis FROM tmpWalkRows JOIN Import2 ON Import2.rowid = tmpWalkRows.StagedRow "
                          "WHERE tmpWalkRows.NameKey = ?1 AND tmpWalkRows.PreisEk = ?2 "
                          "ORDER BY VkPreis DESC, Import2.rowid LIMIT 1");
}

QString AssignGroupPrice()
{
    return QStringLiteral("UPDATE Import2 SET VkPreis = ?1, ImportState = ?2, OldName = ?3 WHERE rowid = ?4");
}

// --- PriceNewDestinations ----------------------------------------------------------

// Every row still without a price gets the computed price, at least the
// minimum, on any prefix, and state 5.
QString PriceRemainingRows(double newPriceFactor, Currency minRate)
{
    return QStringLiteral("UPDATE Import2 SET VkPreis=")
           + ComputedPriceAtLeast(QStringLiteral("PreisEk"), newPriceFactor, minRate)
           + QStringLiteral(", ImportState=5 WHERE VkPreis IS NULL AND ImportState IS NULL");
}

// --- WriteBackTariff -------------------------------------------------------------

// National rows of the old tariff that the list lacks stay, with their old
// names and prices, filled in (state 6), in the order they are stored.
// International rows and rows without a leading 0 that the list lacks are
// not kept, nor are rows already stored in the list's national form.
QString KeepMissingNationalRows(double newPriceFactor, Currency minRate)
{
    return QStringLiteral(
               "INSERT INTO Import2 (Vorwahl, Ziel, VkPreis, ImportState, PreisEk) "
               "SELECT '0049' || substr(Number, 2), Name, %1, 6, Rate_EK FROM main.Numbers "
               "WHERE Number LIKE '0%' AND Number NOT LIKE '00%' "
               "AND '0049' || substr(Number, 2) NOT IN (SELECT Vorwahl FROM Import2 WHERE Vorwahl LIKE '0049%') "
               "ORDER BY rowid")
        .arg(OldPriceFilledIn(newPriceFactor, minRate));
}

QString EmptyNumbers()
{
    return QStringLiteral("DELETE FROM Numbers");
}

// The prefixes go back to the tariff's form on the way, each by one rule
// only: "0049" followed by the rest becomes "0" followed by the rest, the
// marker "0111" is removed. Applied one after the other, the second rule
// would strip "0111" from a national number that the first rule has just
// written (0049111 -> 0111 -> "").
QString TariffFormOfStagedPrefix(const QString &prefix)
{
    return QStringLiteral("CASE WHEN %1 LIKE '0049%' THEN '0' || substr(%1, 5) "
                          "WHEN %1 LIKE '0111%' THEN substr(%1, 5) ELSE %1 END")
        .arg(prefix);
}

// Grace times, profiles and edit flags of the old tariff are not carried
// over; IsEdited takes the column's default.
// A selling-price function, when named, gets each row as it is written (its
// staged prefix, purchase and selling price), in the order the rows are
// written, and answers the price to store: the caller thus reprices the new
// tariff while writing it, instead of rewriting every row in a second pass.
// It gets the staged prefix, not the stored one, as working the form out a
// second time per row took a tenth of the write; StoredPrefixOfStagedRow
// turns it into the stored one for a message that names the row.
QString FillNumbersFromStaging(const QString &sellingPriceFunction)
{
    const QString price = sellingPriceFunction.isEmpty()
                              ? QStringLiteral("VkPreis")
                              : QStringLiteral("%1(Vorwahl, PreisEk, VkPreis)").arg(sellingPriceFunction);
    return QStringLiteral("INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, GraceTime, Profile) "
                          "SELECT %1, Ziel, %2, PreisEk, 0, NULL FROM Import2 ORDER BY rowid")
        .arg(TariffFormOfStagedPrefix(QStringLiteral("Vorwahl")), price);
}

QString StoredPrefixOfStagedRow()
{
    return QStringLiteral("SELECT ") + TariffFormOfStagedPrefix(QStringLiteral("?1"));
}

// The rows were numbered as they were staged, and a row removed since only
// leaves a gap: the last number is found at once, where counting would read
// every staged row.
QString LastStagedRow()
{
    return QStringLiteral("SELECT MAX(rowid) FROM Import2");
}

QStringList DropStagingAndTmpMaxPreis()
{
    return {QStringLiteral("DROP TABLE Import2"), QStringLiteral("DROP TABLE tmpMaxPreis"),
            QStringLiteral("DROP TABLE tmpBestName"), QStringLiteral("DROP TABLE IF EXISTS temp.tmpWalkRows")};
}

} // namespace preisliste::mergesql
