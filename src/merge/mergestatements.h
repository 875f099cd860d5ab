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

// --- PrepareMergeTables -------------------------------------------------------
QString MakeLowPricesNegative(Currency minRate);            // 5, 5
QString FillInMissingPrices(double newPriceFactor);         // 7
QString RaiseComputedInternationalPrices(Currency minRate); // 1
QString MakeNegativePricesPositive();                       // 13
QString CopyNumbersToPrevious();                            // 15
QString DeleteNationalFormFromPrevious();                   // 17
QString PreviousPrefixesToListForm();                       // 19 (22: nothing left)
QString CleanUpStagedRows();                                // 25
QString HasStagedRows();                                    //     query: 0 or 1
QStringList BuildTmpMaxPreisAndIndexes();                   // 30

// --- CarryOverSellingPrices ---------------------------------------------------
QString MatchByName();                                      // 35
QString MatchByPrefix();                                    // 32
QString FillInMatchedPrices(double newPriceFactor);         // 40, 30
QString RaiseFilledInPrices(Currency minRate);
QString UnmarkFilledInRows();

// --- PriceByDestinationVote and PriceByParentName ----------------------------
QString CountUnpricedRows();                                // query: one number
QString SelectUnpricedRows();                               // query: rowid, Ziel, PreisEk, VkPreis
QString VoteForPrice();                                     // ?1 name
QString FindParentRow();                                    // ?1 parent name, ?2 purchase price
QString AssignGroupPrice();                                 // ?1 price, ?2 state, ?3 old name, ?4 rowid

// --- PriceNewDestinations -----------------------------------------------------
QString PriceRemainingRows(double newPriceFactor);
QString RaiseNewDestinationPrices(Currency minRate);
QString MarkNewDestinations();

// --- WriteBackTariff ----------------------------------------------------------
QString KeepMissingNationalRows();                          // 82, 100
QString StagedPrefixesToTariffForm();                       // 84 (86: nothing left)
QString EmptyNumbers();                                     // 92
QString FillNumbersFromStaging();                           // 94
QString DropNumbersPrevious();                              // 98
QStringList DropStagingAndTmpMaxPreis();                    // 99

} // namespace preisliste::mergesql
