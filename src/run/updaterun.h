#pragma once

#include "db/tariffdatabase.h"
#include "pricelist/downloadlist.h"
#include "pricing/recalcvk.h"

#include <QString>

namespace preisliste {

class MessageSink;
class ProgressSink;

enum class PriceListSource { None, LocalFile, Download };

// Everything one update run needs, copied at its start: a rule changed in the
// window while a run is under way takes effect from the next run.
struct RunRequest {
    QString databaseFile;
    QString priceListFile;
    PriceListSource source = PriceListSource::None;
    QString customerId;
    CRecalcVk rule;
    int busyTimeoutMs = kDefaultBusyTimeoutMs;
    DownloadLimits downloadLimits{};
    // Copy the database into its backup folder before anything changes.
    bool backupFirst = true;
};

enum class RunOutcome { Committed, Failed, Stopped };

// What a run tells its front end beyond the outcome; the window shows
// neither, the command line prints both.
struct RunReport {
    QString downloadFailure; // why a download failed or brought no list
    QString backupPath;      // the backup taken before the run changed anything
};

// One update of the tariff database in one transaction: open, begin, back up,
// download, import, merge, recalculate, commit, "Fertig!". Any stage that
// fails or is stopped rolls everything back, so the database is then exactly
// as before. Runs on the calling thread, which owns the run's connection; the
// front end resets its stop request before calling. A failed download shows
// no message; why it failed goes to `report` when given.
RunOutcome RunUpdate(const RunRequest &request, ProgressSink &progress, MessageSink &messages,
                     RunReport *report = nullptr);

} // namespace preisliste
