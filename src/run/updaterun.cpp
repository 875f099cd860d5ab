#include "run/updaterun.h"

#include "common/runsinks.h"
#include "db/backup.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "merge/merge.h"
#include "pricelist/downloadlist.h"
#include "pricelist/stagingimport.h"
#include "pricing/recalculation.h"

#include <sqlite3.h>

#include <exception>

namespace preisliste {

namespace {

// Fetches the customer's list into a temporary file, which is kept, and points
// `file` at it. A failed download or a list without data lines ends the run
// without a message box; why goes to `failure`.
bool DownloadPriceList(const RunRequest &request, const ProgressSink &stop, QString &file, QString &failure)
{
    const QString customerId = request.customerId.trimmed();
    CDownloadList download(request.downloadLimits);
    const bool ok = download.DownloadList(customerId, false, &stop);
    if (ok && download.HasData()) {
        file = download.TempFileName();
        return true;
    }
    failure = ok ? QStringLiteral("Die Preisliste für die Kunden-ID „%1“ enthält keine Preiszeilen.").arg(customerId)
                 : download.FailureText();
    return false;
}

// The stages of a run after the transaction has begun, on the price list in
// `file`. Returns false when a stage failed or was stopped; that stage has
// shown its own message.
bool RunStages(const RunRequest &request, const QString &file, RunContext &context)
{
    if (request.source != PriceListSource::None) {
        if (!ImportPriceListFile(file, context))
            return false;
        if (!MergePriceList(request.rule, context))
            return false;
    }
    // Every run re-prices, also one without a price list.
    return RecalculateSellingPrices(request.rule, context);
}

// A stage that throws instead of answering false (an amount out of range, a
// failed allocation) is reported like a failed stage.
bool RunStagesReportingErrors(const RunRequest &request, const QString &file, RunContext &context)
{
    try {
        return RunStages(request, file, context);
    } catch (const std::exception &error) {
        context.messages.ShowError(QStringLiteral("Fehler: ") + QString::fromLocal8Bit(error.what()));
        return false;
    }
}

// Asks the engine to give up a statement under way once the operator has
// pressed "Stopp": a merge statement over a million rows would otherwise
// hold the stop for seconds. The stage then fails, and the run rolls back.
class StopInterruptsStatements {
public:
    StopInterruptsStatements(sqlite3 *handle, const ProgressSink &progress) : handle_(handle)
    {
        if (handle_)
            sqlite3_progress_handler(handle_, kInstructionsBetweenChecks, &StopRequested,
                                     const_cast<ProgressSink *>(&progress));
    }
    ~StopInterruptsStatements()
    {
        if (handle_)
            sqlite3_progress_handler(handle_, 0, nullptr, nullptr);
    }
    StopInterruptsStatements(const StopInterruptsStatements &) = delete;
    StopInterruptsStatements &operator=(const StopInterruptsStatements &) = delete;

private:
    static constexpr int kInstructionsBetweenChecks = 20000;
    static int StopRequested(void *progress)
    {
        return static_cast<const ProgressSink *>(progress)->StopRequested() ? 1 : 0;
    }
    sqlite3 *handle_;
};

// Once the operator has pressed "Stopp", the errors of statements given up
// for it are no news: a stopped run ends without a message of its own.
class QuietAfterStop : public MessageSink {
public:
    QuietAfterStop(MessageSink &messages, const ProgressSink &progress) : messages_(messages), progress_(progress) {}
    void ShowMessage(MessageIcon icon, const QString &title, const QString &text) override
    {
        if (icon == MessageIcon::Error && progress_.StopRequested())
            return;
        messages_.ShowMessage(icon, title, text);
    }

private:
    MessageSink &messages_;
    const ProgressSink &progress_;
};

} // namespace

RunOutcome RunUpdate(const RunRequest &request, ProgressSink &progress, MessageSink &messages, RunReport *report)
{
    RunReport ignored;
    RunReport &told = report ? *report : ignored;
    told = RunReport{};
    const auto connection = OpenTariffDatabase(request.databaseFile, 2, messages, request.busyTimeoutMs);
    if (!connection)
        return RunOutcome::Failed;

    // The download comes before the transaction: however long the server
    // takes, Telvoro is never kept from writing to its database meanwhile.
    QString file = request.priceListFile;
    if (request.source == PriceListSource::Download
        && !DownloadPriceList(request, progress, file, told.downloadFailure))
        return progress.StopRequested() ? RunOutcome::Stopped : RunOutcome::Failed;

    SqlTransaction transaction(connection->Database());
    if (!transaction.Begin()) {
        messages.ShowError(QStringLiteral("Fehler: ") + transaction.Error());
        return RunOutcome::Failed;
    }
    // Taken inside the transaction, whose write lock keeps every other
    // program from changing the database between the backup and the run.
    if (request.backupFirst) {
        const BackupResult backup = BackupTariffDatabase(connection->Path(), request.busyTimeoutMs);
        if (!backup.ok) {
            messages.ShowError(backup.error);
            return RunOutcome::Failed;
        }
        told.backupPath = backup.backupPath;
    }
    const StopInterruptsStatements interruptible(SqliteHandle(connection->Database()), progress);
    QuietAfterStop stageMessages(messages, progress);
    RunContext context{connection->Database(), progress, stageMessages};
    // A stop asked for after the last stage's last progress call still
    // counts: nothing is committed once the operator has pressed "Stopp".
    bool ok = RunStagesReportingErrors(request, file, context) && !progress.StopRequested();
    if (ok && !transaction.Commit()) {
        messages.ShowError(QStringLiteral("Fehler: Die Änderungen konnten nicht gespeichert werden: ")
                           + transaction.Error());
        ok = false;
    }
    if (!ok) {
        transaction.Rollback();
        CloseTariffDatabase(connection.get());
        return progress.StopRequested() ? RunOutcome::Stopped : RunOutcome::Failed;
    }
    progress.SetProgress(100, -1);
    messages.ShowInformation(QStringLiteral("Fertig!"));
    return RunOutcome::Committed;
}

} // namespace preisliste
