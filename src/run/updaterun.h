#pragma once

#include "db/tariffdatabase.h"
#include "merge/merge.h"
#include "pricelist/pricelistdownload.h"
#include "pricing/pricingrule.h"
#include "report/changereport.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace preisliste {

class MessageSink;
class ProgressSink;
struct RunContext;

enum class PriceListSource { None, LocalFile, Download };

// Everything one update run needs, copied at its start: a rule changed in the
// window while a run is under way takes effect from the next run.
struct RunRequest {
    QString databaseFile{};
    QString priceListFile{};
    PriceListSource source = PriceListSource::None;
    QString customerId{};
    PricingRule rule;
    int busyTimeoutMs = kDefaultBusyTimeoutMs;
    DownloadLimits downloadLimits{};
    // Copy the database into its backup folder before anything changes.
    bool backupFirst = true;
    // Run every stage and report, then roll back: nothing is kept, no backup.
    bool dryRun = false;
    // The share of the tariff's rows, in percent, that an update may remove
    // without being refused; 100 lets any update through.
    double maxRemovedPercent = kDefaultMaxRemovedPercent;
    // Where to write the whole change report as CSV, besides the copy kept
    // with the backup; empty for none.
    QString reportFile{};
    // Unattended runs: do nothing when the list is the one applied last (by
    // List-ID and List-Sequence from the same server, a file by its SHA-256),
    // and wait for a list whose "Effective" lies ahead, unless `applyNow`.
    bool onlyIfChanged = false;
    bool applyNow = false;

    static constexpr double kDefaultMaxRemovedPercent = 10.0;
};

// Refused: the update would have removed more of the tariff than allowed;
// it was rolled back before anything was kept. DryRunDone: a dry run that
// the real update would have committed. Unchanged and NotYetEffective: a run
// only if changed found nothing to do (yet) and began no transaction.
enum class RunOutcome { Committed, Failed, Stopped, Refused, DryRunDone, Unchanged, NotYetEffective };

// What a run tells its front end beyond the outcome and its messages.
struct RunReport {
    QString downloadFailure; // why a download failed or brought no list
    QString backupPath;      // the backup taken before the run changed anything
    QString priceListFile{}; // the list the run read, a downloaded one included
    // What the update changes; set once every stage has run, also for a run
    // that was then refused or a dry run.
    std::optional<ChangeReport> changes{};
    QString keptReportPath{}; // the report kept beside the backup
    QStringList warnings{};   // a report or history that could not be written, in German
    // The list: what its header says (from the server's answer to a header
    // request when the run went no further) and the SHA-256 of the file read.
    QString listId{};
    std::optional<qint32> listSequence{};
    std::optional<QDateTime> effective{};
    QString listSha256{};
    // What the merge and the recalculation counted, once they finished.
    std::optional<MergeStatistics> mergeStatistics{};
    std::optional<qint64> repricedRows{};
};

// Each stage's share of the overall progress ("Fortschritt gesamt"), in
// percent of the whole run. The shares follow one another in the order the
// stages run, so the overall value only moves forward; a stage a run leaves
// out is passed over, and "Fertig!" sets 100. Within its share a stage reports
// 0..100 as the action value ("Fortschritt Aktion").
struct StageShare {
    const char *name; // for timings and tests
    int from;
    int to;
};
inline constexpr StageShare kDownloadShare{"download", 0, 5};
inline constexpr StageShare kBackupShare{"backup", 5, 10};
inline constexpr StageShare kNameLookupShare{"names", 10, 15};
inline constexpr StageShare kImportShare{"import", 15, 30};
inline constexpr StageShare kMergeShare{"merge", 30, 65};
inline constexpr StageShare kRecalculationShare{"recalculation", 65, 90};
inline constexpr StageShare kReportShare{"report", 90, 99};
inline constexpr StageShare kRunStages[] = {kDownloadShare, kBackupShare,        kNameLookupShare, kImportShare,
                                            kMergeShare,    kRecalculationShare, kReportShare};

// True when the update behind `counts` removes more than `maxRemovedPercent`
// of the rows the tariff had.
bool RemovesTooMuch(const ChangeCounts &counts, double maxRemovedPercent);

// "Das Update würde 369 von 417 Tarifzeilen entfernen (88,5 %) …": the figures
// of a refused update, for both front ends.
QString RemovedRowsText(const ChangeCounts &counts, double maxRemovedPercent);

// Stages the price list in `file` inside the run's transaction as a run
// does: each row with its name match, once PrepareNameMatch has gathered the
// old tariff's names. `matched`, when given, receives what the merge is to
// know of the matches.
StageResult ImportMatchingNames(const QString &file, RunContext &context, NamesMatched *matched = nullptr);

// One update of the tariff database in one transaction: download, open,
// begin, back up, gather the old names, import, merge, recalculate, compare, commit, "Fertig!".
// Any stage that fails or is stopped rolls everything back, so the database
// is then exactly as before, and so does an update that would remove too
// much of the tariff (Refused, without a message: the front end says why or
// asks) and a dry run. The stages' messages are shown once the transaction
// has ended, so no message box keeps other programs waiting for the
// database. Runs on the calling thread, which owns the run's connection; the
// front end resets its stop request before calling. A failed download shows
// no message; why it failed goes to `report` when given. Every run of an
// existing database ends with a record in its history (HistoryFile); one
// that cannot be written changes nothing of the run and is told once as a
// warning.
RunOutcome RunUpdate(const RunRequest &request, ProgressSink &progress, MessageSink &messages,
                     RunReport *report = nullptr);

} // namespace preisliste
