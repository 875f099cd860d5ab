// The update run behind "&Start": a worker thread with its own database
// connection, the two progress bars and "&Stopp".
#include "app/fieldedit.h"
#include "app/updatewindow.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

namespace preisliste {

void UpdateWindow::cmdStart_Click()
{
    if (!FocusedFieldAccepts())
        return;
    if (updateRunning_) {
        progress_.RequestStop(); // the run notices it at its next row
        return;
    }
    if (priceDownloadEnabled_)
        customerId_ = txtKdId_->text().trimmed();
    StartRun(BuildRunRequest());
}

RunRequest UpdateWindow::BuildRunRequest() const
{
    PriceListSource source = PriceListSource::None;
    if (priceDownloadEnabled_)
        source = PriceListSource::Download;
    else if (importFileEnabled_)
        source = PriceListSource::LocalFile;
    return RunRequest{.databaseFile = databaseFile_,
                      .priceListFile = priceListFile_,
                      .source = source,
                      .customerId = customerId_,
                      .rule = *pricingRule_};
}

void UpdateWindow::StartRun(const RunRequest &request)
{
    updateRunning_ = true;
    cmdStart_->setText(QStringLiteral("&Stopp"));
    cmdClose_->setEnabled(false);

    // The run works on copies of the paths and of the rule: edits made while
    // it runs take effect from the next run.
    progress_.Reset();
    messages_.Reset();
    runRequest_ = request;
    runThread_ = QThread::create([this, request] { runOutcome_ = RunUpdate(request, progress_, messages_, &runReport_); });
    connect(runThread_, &QThread::finished, this, &UpdateWindow::OnRunFinished);
    runThread_->start();
}

void UpdateWindow::OnRunFinished()
{
    runThread_->wait();
    delete std::exchange(runThread_, nullptr);
    lastRunOutcome_ = runOutcome_;
    updateRunning_ = false;
    cmdStart_->setText(QStringLiteral("&Start"));
    cmdClose_->setEnabled(true);
    if (closeAfterRun_) {
        close();
        return;
    }
    if (runOutcome_ == RunOutcome::Refused)
        AskToTakeRefusedUpdate();
}

// The run that would have removed too much has been rolled back before the
// question: Telvoro is not kept from its database while the operator thinks.
// "Ja" runs the update again on the same list, without the limit.
void UpdateWindow::AskToTakeRefusedUpdate()
{
    const QString question = RemovedRowsText(runReport_.changes->counts, runRequest_->maxRemovedPercent)
                             + QStringLiteral("\n\nDie Tarifdatenbank ist unverändert. Trotzdem übernehmen?");
    if (!dialogs_->AskYesNo(this, kProgramTitle, question))
        return;
    RunRequest again = *runRequest_;
    again.maxRemovedPercent = 100.0;
    if (again.source == PriceListSource::Download) {
        // The list already downloaded, not a newer one the operator has not seen.
        again.source = PriceListSource::LocalFile;
        again.priceListFile = runReport_.priceListFile;
    }
    StartRun(again);
}

void UpdateWindow::ShowProgress(int overall, int action)
{
    ProgressBar1_->setValue(overall);
    if (action >= 0)
        ProgressBar2_->setValue(action);
}

void UpdateWindow::ShowRunMessage(MessageIcon icon, const QString &title, const QString &text, const QString &details)
{
    if (details.isEmpty())
        dialogs_->ShowMessage(this, icon, title, text);
    else
        dialogs_->ShowDetailedMessage(this, icon, title, text, details);
}

} // namespace preisliste
