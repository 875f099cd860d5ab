#pragma once

#include "common/currency.h"

#include <QString>
#include <QStringList>

// Every SQL statement of the tariff merge, in the order the merge runs them.
// The text of each statement is in mergestatements.cpp, so that the whole
// merge reads top to bottom in one place. Numbers go into the text through
// SqlNumber; names and purchase prices of the look-ups are bound parameters.
namespace preisliste::mergesql {

// --- Start of the merge --------------------------------------------------------
QStringList DropLeftoverTables();
QString ListNumbersColumns();                               //     query: one row per column, name in column 1
QString AddIsEditedColumn();                                //     only when ListNumbersColumns has no IsEdited
QString ClearMissingIsEdited();

// --- PrepareNameLookup: the old tariff ---------------------------------------
QString CreateNameMaxima();
QString SelectNamedOldRows(double newPriceFactor, Currency minRate); // query: Name, price filled in, IsEdited
QString FoldOldName();                                      // ?1 name, ?2 price, ?3 edit flag
QStringList BuildBestNames();
QString LookUpBestName();                                   // query: ?1 key of the name -> BestPrice, BestName
QString StageRowMatchingItsName();                          //     the import's insert: ?1 prefix, ?2 name, ?3 purchase
                                                            //     price, ?4 price, ?5 old name, ?6 state of the match

// --- PrepareStagedRows: the price list ----------------------------------------
QString CleanUpStagedRows();
QString HasStagedRows();                                    // query: 0 or 1

// --- CarryOverSellingPrices ---------------------------------------------------
QString MatchByName();
QString CountNameMatches();                                 // query: rows the name match priced
QString SelectUnpricedPrefixes();                           // query: tariff form of each unpriced row's prefix
inline constexpr char kIsUnpricedPrefix[] = "IsUnpricedPrefix"; // served by the merge, from SelectUnpricedPrefixes
QString MatchByPrefix(double newPriceFactor, Currency minRate);
QString FillInMatchedPrices(double newPriceFactor, Currency minRate);
QString IndexRowsWithoutState();

// --- PriceByDestinationVote and PriceByParentName ----------------------------
QString CountUnpricedRows();                                // query: one number
QStringList CreateWalkTables();
QString SelectUnpricedNames();                              // query: Ziel of each unpriced row
inline constexpr char kIsWalkName[] = "IsWalkName";          // served by the merge: a name whose key the walks ask for
QString GatherWalkRows();
QString IndexWalkRows();
QString SelectUnpricedRows();                               // query: rowid, Ziel, PreisEk, VkPreis, key of Ziel
QString VoteForPrice();                                     // ?1 key of the name
QString FindParentRow();                                    // ?1 key of the parent name, ?2 purchase price
QString AssignGroupPrice();                                 // ?1 price, ?2 state, ?3 old name, ?4 rowid

// --- PriceNewDestinations -----------------------------------------------------
QString PriceRemainingRows(double newPriceFactor, Currency minRate);

// --- WriteBackTariff ----------------------------------------------------------
QString KeepMissingNationalRows(double newPriceFactor, Currency minRate);
QString EmptyNumbers();
QString FillNumbersFromStaging(const QString &sellingPriceFunction = {}); // the function: (staged prefix,
                                                            //     purchase price, selling price) -> price stored
QString StoredPrefixOfStagedRow();                          // query: ?1 staged prefix -> the prefix as stored
QString LastStagedRow();                                    // query: at least the rows the write-back writes
QStringList DropStagingAndTmpMaxPreis();

} // namespace preisliste::mergesql
