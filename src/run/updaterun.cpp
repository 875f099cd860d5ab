#include "run/updaterun.h"

#include "common/runsinks.h"
#include "common/stageresult.h"
#include "db/backup.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "history/updatehistory.h"
#include "merge/merge.h"
#include "merge/mergestatements.h"
#include "merge/namematchonstaging.h"
#include "pricelist/listidentity.h"
#include "pricelist/pricelistdownload.h"
#include "pricelist/stagingimport.h"
#include "pricing/recalculation.h"
#include "common/localeformat.h"
#include "report/reporttext.h"
#include "report/tariffsnapshot.h"
#include "run/listchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <exception>

namespace preisliste {

namespace {

// What one stage reports, 0..100, as the action value and as its share of
// the overall value. Called once per row, so it only scales and passes on.
class StageProgress : public ProgressSink {
public:
    StageProgress(ProgressSink &run, StageShare share) : run_(run), share_(share) {}
    // The stage reports its own percent; stages report both values alike.
    bool SetProgress(int, int action) override
    {
        return run_.SetProgress(share_.from + (share_.to - share_.from) * action / 100, action);
    }
    bool StopRequested() const override { return run_.StopRequested(); }
    bool Start() { return SetProgress(0, 0); }
    bool Finish() { return SetProgress(100, 100); }

private:
    ProgressSink &run_;
    StageShare share_;
};

// Fetches the customer's list into a temporary file, which is kept, and points
// `file` at it. A failed download or a list without data lines ends the run
// without a message box; the result says why (also after a stop).
StageResult DownloadPriceList(const RunRequest &request, const ProgressSink &stop, QString &file)
{
    const QString customerId = request.customerId.trimmed();
    PriceListDownload download(request.downloadLimits);
    const bool ok = download.DownloadList(customerId, false, &stop);
    if (ok && download.HasData()) {
        file = download.TempFileName();
        return StageResult::Done();
    }
    return StageResult::Failed(
        ok ? QStringLiteral("Die Preisliste für die Kunden-ID „%1“ enthält keine Preiszeilen.").arg(customerId)
           : download.FailureText());
}

// Once the operator has pressed "Stopp", the failures of statements given up
// for it are no news: the run has been stopped.
StageResult Settled(StageResult result, const ProgressSink &progress)
{
    if (result.IsFailed() && progress.StopRequested())
        return StageResult::Stopped();
    return result;
}

// Runs one stage within its share of the progress and tells the operator
// what its result has to say.
template <typename Stage>
StageResult RunStage(RunContext &context, MessageSink &messages, StageShare share, Stage &&stage)
{
    StageProgress progress(context.progress, share);
    RunContext inShare{context.database, progress};
    const StageResult result = Settled(stage(inShare), context.progress);
    TellOperator(result, messages);
    return result;
}

// Writes the merged tariff back into Numbers, each row priced by the rule as
// it is written: one pass instead of the write-back and a second one that
// rewrites every row.
StageResult WriteBackRepriced(const PricingRule &rule, RunContext &context, qint64 *repriced)
{
    QString error;
    const std::optional<qint64> rows = StagedRowsAtMost(context, error);
    if (!rows)
        return StageResult::Failed(error);
    const RowWriter writer{
        [&](const QString &sellingPriceFunction) { return WriteBackStagedRows(context, sellingPriceFunction); },
        [&](const QString &stagedPrefix) { return StoredPrefixOfStagedRow(context, stagedPrefix); }};
    return RecalculateSellingPricesAsWritten(rule, context, *rows, writer, repriced);
}

// The stages of a run after the transaction has begun, on the price list in
// `file`, up to the first that does not finish. What the merge and the
// recalculation counted goes to `told`.
StageResult RunStages(const RunRequest &request, const QString &file, RunContext &context, MessageSink &messages,
                      RunReport &told)
{
    const bool hasPriceList = request.source != PriceListSource::None;
    if (hasPriceList) {
        // The old tariff's names are gathered first, so that the import can
        // give each row its name match as it stores it.
        StageResult result = RunStage(context, messages, kNameLookupShare,
                                      [&](RunContext &stage) { return PrepareNameMatch(request.rule, stage); });
        NamesMatched matched;
        if (result.IsDone())
            result = RunStage(context, messages, kImportShare,
                              [&](RunContext &stage) { return ImportMatchingNames(file, stage, &matched); });
        MergeStatistics statistics;
        if (result.IsDone())
            result = RunStage(context, messages, kMergeShare, [&](RunContext &stage) {
                return MergePriceList(request.rule, stage, &statistics, matched, MergeEnd::KeepStaged);
            });
        if (!result.IsDone())
            return result;
        told.mergeStatistics = statistics;
    }
    // Every run re-prices, also one without a price list; the merged rows
    // are priced as they are written back.
    qint64 repriced = 0;
    const StageResult result = RunStage(context, messages, kRecalculationShare, [&](RunContext &stage) {
        return hasPriceList ? WriteBackRepriced(request.rule, stage, &repriced)
                            : RecalculateSellingPrices(request.rule, stage, &repriced);
    });
    if (result.IsDone())
        told.repricedRows = repriced;
    return result;
}

// The one place where a stage that throws instead of answering (an amount out
// of range, a failed allocation) becomes a failure.
StageResult RunStagesCatchingExceptions(const RunRequest &request, const QString &file, RunContext &context,
                                        MessageSink &messages, RunReport &told)
{
    try {
        return RunStages(request, file, context, messages, told);
    } catch (const std::exception &error) {
        const StageResult failed = Settled(StageResult::FromException(error), context.progress);
        TellOperator(failed, messages);
        return failed;
    }
}

// Holds the stages' messages until the transaction has ended: a message box
// waiting for the operator would otherwise keep Telvoro from its database,
// and the messages of a refused update are never shown.
class HeldMessages : public MessageSink {
public:
    void ShowMessage(MessageIcon icon, const QString &title, const QString &text) override
    {
        held_.append({icon, title, text});
    }
    void ShowTo(MessageSink &messages) const
    {
        for (const Held &message : held_)
            messages.ShowMessage(message.icon, message.title, message.text);
    }

private:
    struct Held {
        MessageIcon icon;
        QString title;
        QString text;
    };
    QList<Held> held_;
};

// Compares the tariff now with the copy taken at the start into `report`;
// the whole report goes to `csv` when given.
StageResult CompareWithTariffBefore(const RunRequest &request, RunContext &context, TariffSnapshot &before,
                                    QIODevice *csv, std::optional<ChangeReport> &report)
{
    if (!before.Wait())
        return StageResult::Failed(before.Error());
    const ReportSources sources{
        .before = before.State(),
        .after = {&context.database, QStringLiteral("main.Numbers"), false},
        .skippedLines = request.source == PriceListSource::None ? QString() : kSkippedLinesTable,
        .vat = request.rule.VAT(),
    };
    QString error;
    StageProgress progress(context.progress, kReportShare);
    if (progress.Start())
        return StageResult::Stopped();
    report = CompareTariffs(sources, csv, progress, error);
    if (!report)
        return error.isEmpty() ? StageResult::Stopped() : StageResult::Failed(error);
    progress.Finish();
    return StageResult::Done();
}

// Copies the report at `source` to `target`, replacing a file there. Empty
// on success, else a German warning.
QString SaveReportCopy(const QString &source, const QString &target)
{
    QFile::remove(target);
    if (QFile::copy(source, target)) {
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        return {};
    }
    return QStringLiteral("Der Bericht konnte nicht nach %1 geschrieben werden.").arg(target);
}

// One update run, stage by stage; RunUpdate() below reads as its outline.
class UpdateRun {
public:
    UpdateRun(const RunRequest &request, ProgressSink &progress, MessageSink &messages, RunReport &told)
        : request_(request), progress_(progress), messages_(messages), told_(told)
    {
    }

    RunOutcome Run()
    {
        const RunOutcome outcome = RunToTheEnd();
        if (listDigest_)
            told_.listSha256 = listDigest_->Result();
        return outcome;
    }

private:
    RunOutcome RunToTheEnd()
    {
        QString openError;
        const auto connection = OpenTariffDatabase(request_.databaseFile, openError, request_.busyTimeoutMs);
        if (!connection) {
            TellOperator(StageResult::Failed(openError, FailureKind::Sentence), messages_);
            return RunOutcome::Failed;
        }
        // The download comes before the transaction: however long the server
        // takes, Telvoro is never kept from writing to its database meanwhile.
        if (const std::optional<RunOutcome> early = TakePriceList())
            return *early;

        SqlTransaction transaction(*connection);
        if (!transaction.Begin()) {
            TellOperator(StageResult::Failed(transaction.Error()), messages_);
            return RunOutcome::Failed;
        }
        // Taken inside the transaction, whose write lock keeps every other
        // program from changing the database between the backup and the run.
        // So is the copy for the report, which goes on beside the stages.
        TariffSnapshot before;
        before.Start(connection->Path(), request_.busyTimeoutMs);
        PendingBackup backup;
        if (request_.backupFirst && !request_.dryRun) {
            StageProgress backupProgress(progress_, kBackupShare);
            if (backupProgress.Start())
                return RunOutcome::Stopped;
            if (!backup.Take(connection->Path(), request_.busyTimeoutMs)) {
                TellOperator(StageResult::Failed(backup.Error(), FailureKind::Sentence), messages_);
                return RunOutcome::Failed;
            }
            backupProgress.Finish();
        }
        const RunOutcome outcome = RunInTransaction(*connection, transaction, backup, before);
        if (transaction.IsActive())
            transaction.Rollback();
        if (outcome != RunOutcome::Committed) {
            // Nothing of a run that kept nothing stays in the backup folder.
            // (A report never opened has no name, and Qt warns on removing it.)
            if (!reportFile_.fileName().isEmpty())
                reportFile_.remove();
            backup.Discard();
        }
        // A refused update has done nothing; what its stages said would only
        // hide why. A dry run shows everything.
        if (outcome != RunOutcome::Refused || request_.dryRun)
            held_.ShowTo(messages_);
        if (outcome == RunOutcome::Committed)
            Finish();
        return outcome;
    }

    // Downloads the list when asked to and learns which list it is. An
    // outcome when the run ends here, before its transaction: the download
    // failed, or a run only if changed has nothing to do.
    std::optional<RunOutcome> TakePriceList()
    {
        told_.priceListFile = request_.priceListFile;
        if (request_.source == PriceListSource::Download) {
            StageProgress download(progress_, kDownloadShare);
            download.Start();
            if (request_.onlyIfChanged)
                if (const std::optional<RunOutcome> early = CheckServerList())
                    return early;
            const StageResult result = DownloadPriceList(request_, progress_, told_.priceListFile);
            told_.downloadFailure = result.reason;
            if (!result.IsDone())
                return OutcomeOf(Settled(result, progress_));
            download.Finish();
        }
        if (request_.source == PriceListSource::None)
            return std::nullopt;
        IdentifyList();
        if (request_.onlyIfChanged && request_.source == PriceListSource::LocalFile)
            return CheckFileList();
        return std::nullopt;
    }

    // A run only if the file has changed needs its digest before it begins;
    // any other run needs it only for the history, and has it made beside
    // the run.
    void IdentifyList()
    {
        const bool digestFirst = request_.onlyIfChanged && request_.source == PriceListSource::LocalFile;
        const PriceListIdentity identity = IdentifyPriceList(told_.priceListFile, digestFirst);
        if (!digestFirst)
            listDigest_.emplace(told_.priceListFile);
        told_.listSha256 = identity.sha256;
        told_.listId = identity.listId;
        told_.listSequence = identity.sequence;
        told_.effective = identity.effective;
    }

    // Asks the server for the header of its list only: nothing more when it
    // is the list applied last or takes effect later.
    std::optional<RunOutcome> CheckServerList()
    {
        PriceListDownload header(request_.downloadLimits);
        if (!header.DownloadList(request_.customerId.trimmed(), true, &progress_)) {
            told_.downloadFailure = header.FailureText();
            return progress_.StopRequested() ? RunOutcome::Stopped : RunOutcome::Failed;
        }
        told_.listId = header.GUID();
        told_.listSequence = header.Sequence();
        if (header.EffectiveDate() != PriceListDownload::ZeroDate()) // none given
            told_.effective = header.EffectiveDate();
        QString error;
        return NothingToDo(CompareWithLastApplied(request_.databaseFile, header.GUID(), header.Sequence(), error),
                           error);
    }

    std::optional<RunOutcome> CheckFileList()
    {
        QString error;
        return NothingToDo(CompareFileWithLastApplied(request_.databaseFile, told_.listSha256, error), error);
    }

    // A history that cannot be read makes every list new: applying a list
    // again does no harm, skipping a new one would.
    std::optional<RunOutcome> NothingToDo(ListNews news, const QString &historyError)
    {
        if (news == ListNews::Unknown)
            messages_.ShowWarning(historyError + QStringLiteral(" Die Preisliste wird übernommen, als wäre sie neu."));
        if (news == ListNews::AppliedLast)
            return RunOutcome::Unchanged;
        if (!request_.applyNow && TakesEffectLater(told_.effective, QDateTime::currentDateTime()))
            return RunOutcome::NotYetEffective;
        return std::nullopt;
    }

    // Everything between begin and the end of the transaction. The held
    // messages are shown by the caller once it has ended.
    RunOutcome RunInTransaction(SqliteConnection &database, SqlTransaction &transaction, PendingBackup &backup,
                                TariffSnapshot &before)
    {
        const StopInterruptsStatements interruptible(database, progress_);
        RunContext context{database, progress_};
        StageResult result = OpenReportFile(backup);
        if (result.IsDone())
            result = RunStagesCatchingExceptions(request_, told_.priceListFile, context, held_, told_);
        if (result.IsDone()) {
            result = Settled(CompareWithTariffBefore(request_, context, before,
                                                     reportFile_.isOpen() ? &reportFile_ : nullptr, told_.changes),
                             progress_);
            TellOperator(result, held_);
        }
        // A stop asked for after the last stage's last progress call still
        // counts: nothing is committed once the operator has pressed "Stopp".
        if (result.IsDone() && progress_.StopRequested())
            result = StageResult::Stopped();
        if (!result.IsDone())
            return OutcomeOf(result);
        const bool refused = RemovesTooMuch(told_.changes->counts, request_.maxRemovedPercent);
        if (request_.dryRun || refused) {
            transaction.Rollback();
            if (request_.dryRun)
                SaveRequestedReport();
            if (refused)
                return RunOutcome::Refused;
            progress_.SetProgress(100, -1); // a dry run has done all there is to do
            return RunOutcome::DryRunDone;
        }
        // The backup gets its name before the commit, so a committed update
        // always has one; if the commit fails, the backup goes again.
        if (backup.IsTaken() && !backup.Name()) {
            TellOperator(StageResult::Failed(backup.Error(), FailureKind::Sentence), held_);
            return RunOutcome::Failed;
        }
        if (!transaction.Commit()) {
            TellOperator(StageResult::Failed(QStringLiteral("Die Änderungen konnten nicht gespeichert werden: ")
                                             + transaction.Error()),
                         held_);
            return RunOutcome::Failed;
        }
        if (backup.IsTaken()) {
            told_.backupPath = backup.Path();
            backup.Confirm();
        }
        return RunOutcome::Committed;
    }

    // The whole report is written while the transaction is open, into a
    // private temporary file, and copied to where it is kept only once the
    // run has decided.
    StageResult OpenReportFile(const PendingBackup &backup)
    {
        // Beside the backup it need not be copied there, only renamed.
        if (backup.IsTaken())
            reportFile_.setFileTemplate(QFileInfo(backup.Path()).dir().filePath(QStringLiteral("Bericht-XXXXXX.tmp")));
        const bool wanted = !request_.reportFile.isEmpty() || backup.IsTaken();
        if (!wanted || reportFile_.open())
            return StageResult::Done();
        const StageResult failed = StageResult::Failed(
            QStringLiteral("Für den Bericht kann keine temporäre Datei angelegt werden: ") + reportFile_.errorString());
        TellOperator(failed, held_);
        return failed;
    }

    static RunOutcome OutcomeOf(const StageResult &result)
    {
        return result.IsStopped() ? RunOutcome::Stopped : RunOutcome::Failed;
    }

    void SaveRequestedReport()
    {
        if (request_.reportFile.isEmpty())
            return;
        reportFile_.flush();
        const QString failure = SaveReportCopy(reportFile_.fileName(), request_.reportFile);
        if (!failure.isEmpty())
            told_.warnings.append(failure);
    }

    void KeepReportBesideBackup(const QString &kept)
    {
        reportFile_.flush();
        QFile::remove(kept);
        if (!reportFile_.rename(kept)) {
            told_.warnings.append(QStringLiteral("Der Bericht konnte nicht nach %1 geschrieben werden.").arg(kept));
            return;
        }
        reportFile_.setAutoRemove(false);
        QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        told_.keptReportPath = kept;
    }

    void Finish()
    {
        if (!told_.backupPath.isEmpty())
            KeepReportBesideBackup(ReportPathOfBackup(told_.backupPath));
        SaveRequestedReport();
        for (const QString &warning : told_.warnings)
            messages_.ShowWarning(warning);
        progress_.SetProgress(100, -1);
        const QString savedAt = !request_.reportFile.isEmpty() ? request_.reportFile : told_.keptReportPath;
        messages_.ShowDetailedMessage(MessageIcon::Information, kProgramTitle, QStringLiteral("Fertig!"),
                                      ReportDetailsText(*told_.changes, UserLocale(), savedAt));
    }

    const RunRequest &request_;
    ProgressSink &progress_;
    MessageSink &messages_;
    RunReport &told_;
    HeldMessages held_;
    QTemporaryFile reportFile_;
    std::optional<FileDigestAside> listDigest_;
};

// Passes every message on and keeps the errors among them, for the history.
class ErrorsKept : public MessageSink {
public:
    explicit ErrorsKept(MessageSink &messages) : messages_(messages) {}
    void ShowMessage(MessageIcon icon, const QString &title, const QString &text) override
    {
        Keep(icon, text);
        messages_.ShowMessage(icon, title, text);
    }
    void ShowDetailedMessage(MessageIcon icon, const QString &title, const QString &text,
                             const QString &details) override
    {
        Keep(icon, text);
        messages_.ShowDetailedMessage(icon, title, text, details);
    }
    const QStringList &Errors() const { return errors_; }

private:
    void Keep(MessageIcon icon, const QString &text)
    {
        if (icon == MessageIcon::Error)
            errors_.append(text);
    }

    MessageSink &messages_;
    QStringList errors_;
};

HistoryOutcome HistoryOutcomeOf(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Committed:
    case RunOutcome::DryRunDone:
        return HistoryOutcome::Committed;
    case RunOutcome::Failed:
        return HistoryOutcome::Failed;
    case RunOutcome::Stopped:
        return HistoryOutcome::Stopped;
    case RunOutcome::Refused:
        return HistoryOutcome::Refused;
    case RunOutcome::Unchanged:
        return HistoryOutcome::Unchanged;
    case RunOutcome::NotYetEffective:
        return HistoryOutcome::NotYetEffective;
    }
    return HistoryOutcome::Failed;
}

// Why a run did not go through, in the words the operator was told.
QString OutcomeMessage(const RunRequest &request, RunOutcome outcome, const RunReport &told, const QStringList &errors)
{
    if (outcome == RunOutcome::Refused && told.changes)
        return RemovedRowsText(told.changes->counts, request.maxRemovedPercent);
    if (outcome != RunOutcome::Failed)
        return {};
    return told.downloadFailure.isEmpty() ? errors.join(QStringLiteral(" – ")) : told.downloadFailure;
}

HistoryRecord RecordOf(const RunRequest &request, RunOutcome outcome, const RunReport &told,
                       const QStringList &errors)
{
    HistoryRecord record;
    if (request.source == PriceListSource::LocalFile)
        record.sourceFile = QFileInfo(request.priceListFile).absoluteFilePath();
    if (request.source == PriceListSource::Download) {
        record.customerId = request.customerId.trimmed();
        record.server = PriceListServer().toString();
    }
    record.listId = told.listId;
    record.listSequence = told.listSequence;
    record.effective = told.effective;
    record.sha256 = told.listSha256;
    record.merge = told.mergeStatistics;
    record.repriced = told.repricedRows;
    if (told.changes)
        record.changes = told.changes->counts;
    record.outcome = HistoryOutcomeOf(outcome);
    record.message = OutcomeMessage(request, outcome, told, errors);
    record.dryRun = request.dryRun;
    record.backupFile = told.backupPath;
    const bool reported = outcome == RunOutcome::Committed || outcome == RunOutcome::DryRunDone;
    record.reportFile = !told.keptReportPath.isEmpty() ? told.keptReportPath : reported ? request.reportFile : QString();
    return record;
}

// A run on a database that is not there records nothing: its history would
// make a backup folder where there is no database.
void RecordInHistory(const RunRequest &request, HistoryRecord record, RunReport &told, MessageSink &messages)
{
    if (!QFileInfo(request.databaseFile).isFile())
        return;
    record.ended = QDateTime::currentDateTime();
    const QString failure = AppendToHistory(request.databaseFile, record);
    if (failure.isEmpty())
        return;
    const QString warning = failure + QStringLiteral(" Das Update selbst ist davon nicht betroffen.");
    told.warnings.append(warning);
    messages.ShowWarning(warning);
}

} // namespace

StageResult ImportMatchingNames(const QString &file, RunContext &context, NamesMatched *matched)
{
    NameMatchOnStaging names(context.database);
    if (!names.IsPrepared())
        return StageResult::Failed(names.Error());
    const StagingStatement staging{
        mergesql::StageRowMatchingItsName(),
        [&](SqliteStatement &insert, std::optional<QByteArrayView> name) { return names.Bind(insert, name); },
        [&] { return names.Error(); }};
    const StageResult result = ImportPriceListFile(file, context, staging);
    if (matched)
        *matched = NamesMatched::OnStaging(names.MatchedRows(), names.MatchesLackPrices());
    return result;
}

bool RemovesTooMuch(const ChangeCounts &counts, double maxRemovedPercent)
{
    if (maxRemovedPercent >= 100.0 || counts.rowsBefore == 0)
        return false;
    return double(counts.removedRows) * 100.0 > maxRemovedPercent * double(counts.rowsBefore);
}

QString RemovedRowsText(const ChangeCounts &counts, double maxRemovedPercent)
{
    const QLocale locale = UserLocale();
    const double share = counts.rowsBefore > 0 ? double(counts.removedRows) / double(counts.rowsBefore) : 0.0;
    return QStringLiteral("Das Update würde %1 von %2 Tarifzeilen entfernen (%3), erlaubt sind höchstens %4. "
                          "Ist die Preisliste vollständig und die richtige Datei?")
        .arg(locale.toString(counts.removedRows), locale.toString(counts.rowsBefore), FormatPercent(share, locale),
             FormatPercent(maxRemovedPercent / 100.0, locale));
}

RunOutcome RunUpdate(const RunRequest &request, ProgressSink &progress, MessageSink &messages, RunReport *report)
{
    RunReport ignored;
    RunReport &told = report ? *report : ignored;
    told = RunReport{};
    const QDateTime started = QDateTime::currentDateTime();
    ErrorsKept kept(messages);
    const RunOutcome outcome = UpdateRun(request, progress, kept, told).Run();
    HistoryRecord record = RecordOf(request, outcome, told, kept.Errors());
    record.started = started;
    RecordInHistory(request, std::move(record), told, messages);
    return outcome;
}

} // namespace preisliste
