#pragma once

#include "merge/merge.h"
#include "report/changereport.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace preisliste {

// How an update ended, as the history keeps it. A dry run keeps the outcome
// the real update would have had and is marked apart (HistoryRecord::dryRun).
enum class HistoryOutcome {
    Committed,
    Failed,
    Stopped,
    Refused,         // it would have removed too much of the tariff
    Unchanged,       // the list was the one applied last: nothing was done
    NotYetEffective, // the list takes effect later: nothing was done yet
};

// One update, committed or not.
struct HistoryRecord {
    QDateTime started;
    QDateTime ended;
    // The source: a file, or a customer ID and the server it was fetched from.
    QString sourceFile{};
    QString customerId{};
    QString server{};
    // The list's identity; what a list in plain form or a run without a list lacks stays empty.
    QString listId{};
    std::optional<qint32> listSequence{};
    std::optional<QDateTime> effective{};
    QString sha256{};
    // What the stages counted, where they got that far.
    std::optional<MergeStatistics> merge{};
    std::optional<qint64> repriced{};
    std::optional<ChangeCounts> changes{};
    HistoryOutcome outcome = HistoryOutcome::Failed;
    QString message{}; // why it failed or was refused, in German
    bool dryRun = false;
    QString backupFile{};
    QString reportFile{};

    qint64 DurationMs() const { return started.msecsTo(ended); }
};

// The figures of the merge and of the change report, in the order the
// history stores and shows them.
inline constexpr std::array kMergeFigures{&MergeStatistics::sameName, &MergeStatistics::samePrefix,
                                          &MergeStatistics::newPrefix, &MergeStatistics::newSubdestination,
                                          &MergeStatistics::newDestinations};
inline constexpr std::array kChangeFigures{
    &ChangeCounts::rowsBefore, &ChangeCounts::rowsAfter,       &ChangeCounts::added,     &ChangeCounts::removed,
    &ChangeCounts::removedRows, &ChangeCounts::renamed,        &ChangeCounts::raised,    &ChangeCounts::lowered,
    &ChangeCounts::purchaseChanged, &ChangeCounts::belowCost, &ChangeCounts::pricedZero, &ChangeCounts::skippedLines};

// The history of a tariff database, beside its backups: "backups/Numbers-
// verlauf.sqlite" for "Numbers.mdb". The tariff database itself gets no table.
QString HistoryFile(const QString &databasePath);

// Appends `record` to the history of the database, creating the folder and
// the file when needed. Empty on success, else a German sentence why not.
QString AppendToHistory(const QString &databasePath, const HistoryRecord &record);

// The newest `limit` records (all when `limit` is 0 or less), newest first;
// none when there is no history yet. Empty with `error` set when the history
// is there but cannot be read.
std::optional<QList<HistoryRecord>> ReadHistory(const QString &databasePath, int limit, QString &error);

// The newest committed update that brought a price list (dry runs do not
// count): the list the tariff holds now, as far as this program knows.
// Nothing when there is none or the history cannot be read (`error` set).
std::optional<HistoryRecord> LastAppliedList(const QString &databasePath, QString &error);

// True when the list the server offers (by `listId` and `sequence`) is the
// one `last` applied from that same server.
bool IsSameDownloadedList(const HistoryRecord &last, const QString &server, const QString &listId, qint32 sequence);

} // namespace preisliste
