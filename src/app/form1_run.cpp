// The update run behind "&Start": a worker thread with its own database
// connection, the two progress bars and "&Stopp".
#include "app/fieldedit.h"
#include "app/form1.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

namespace preisliste {

void Form1::cmdStart_Click()
{
    if (!FocusedFieldAccepts())
        return;
    if (updateRunning_) {
        progress_.RequestStop(); // the run notices it at its next row
        return;
    }
    StartRun();
}

RunRequest Form1::BuildRunRequest() const
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

void Form1::StartRun()
{
    if (priceDownloadEnabled_)
        customerId_ = txtKdId_->text().trimmed();
    updateRunning_ = true;
    cmdStart_->setText(QStringLiteral("&Stopp"));
    cmdClose_->setEnabled(false);

    // The run works on copies of the paths and of the rule: edits made while
    // it runs take effect from the next run.
    progress_.Reset();
    messages_.Reset();
    runThread_ = QThread::create([this, request = BuildRunRequest()] {
        runOutcome_ = RunUpdate(request, progress_, messages_);
    });
    connect(runThread_, &QThread::finished, this, &Form1::OnRunFinished);
    runThread_->start();
}

void Form1::OnRunFinished()
{
    runThread_->wait();
    delete std::exchange(runThread_, nullptr);
    lastRunOutcome_ = runOutcome_;
    updateRunning_ = false;
    cmdStart_->setText(QStringLiteral("&Start"));
    cmdClose_->setEnabled(true);
    if (closeAfterRun_)
        close();
}

void Form1::ShowProgress(int overall, int action)
{
    ProgressBar1_->setValue(overall);
    if (action >= 0)
        ProgressBar2_->setValue(action);
}

void Form1::ShowRunMessage(MessageIcon icon, const QString &title, const QString &text)
{
    dialogs_->ShowMessage(this, icon, title, text);
}

} // namespace preisliste
