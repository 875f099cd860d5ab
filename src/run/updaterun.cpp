#include "run/updaterun.h"

#include "common/runsinks.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "merge/merge.h"
#include "pricelist/stagingimport.h"

#include <exception>

namespace preisliste {

namespace {

// The stages of a run after the transaction has begun. Returns false when a
// stage failed or was stopped; that stage has shown its own message.
bool RunStages(const RunRequest &request, RunContext &context)
{
    const QString file = request.priceListFile;
    if (request.source != PriceListSource::None) {
        if (!ImportPriceListFile(file, context))
            return false;
        if (!MergePriceList(request.rule, context))
            return false;
    }
    return true;
}

// A stage that throws instead of answering false (an amount out of range, a
// failed allocation) is reported like a failed stage.
bool RunStagesReportingErrors(const RunRequest &request, RunContext &context)
{
    try {
        return RunStages(request, context);
    } catch (const std::exception &error) {
        context.messages.ShowError(QStringLiteral("Fehler: ") + QString::fromLocal8Bit(error.what()));
        return false;
    }
}

} // namespace

RunOutcome RunUpdate(const RunRequest &request, ProgressSink &progress, MessageSink &messages)
{
    const auto connection = OpenTariffDatabase(request.databaseFile, 2, messages, request.busyTimeoutMs);
    if (!connection)
        return RunOutcome::Failed;

    SqlTransaction transaction(connection->Database());
    if (!transaction.Begin()) {
        messages.ShowError(QStringLiteral("Fehler: ") + transaction.Error());
        return RunOutcome::Failed;
    }
    RunContext context{connection->Database(), progress, messages};
    bool ok = RunStagesReportingErrors(request, context);
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
