// The rule switches and the choice of the price-list source with the
// server's status for the customer.
#include "app/fieldedit.h"
#include "app/updatewindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace preisliste {

namespace {

// A box counts as on when it is checked or greyed.
bool IsOn(const QCheckBox *box)
{
    return box->checkState() != Qt::Unchecked;
}

} // namespace

void UpdateWindow::optProfitMargin_Click(int index)
{
    txtMarkup_->setEnabled(index == 0);
    txtMargin_->setEnabled(index == 1);
    txtProfit_->setEnabled(index == 2);
    if (index == 2)
        chkMinProfit_->setEnabled(false);
    PricingRule &rule = *pricingRule_;
    rule.UseMarkup = optProfitMargin_[0]->isChecked();
    rule.UseMargin = optProfitMargin_[1]->isChecked();
    rule.UseProfit = optProfitMargin_[2]->isChecked();
    chkMinProfit_->setEnabled(rule.IsMinProfitEnabled());
    txtMinProfit_->setEnabled(rule.IsMinProfitEnabled() && IsOn(chkMinProfit_));
    chkUseOnProfit_->setEnabled(rule.IsUseOnProfitEnabled());
    txtUseOnProfit_->setEnabled(rule.IsUseOnProfitEnabled() && IsOn(chkUseOnProfit_));
    RefreshSample();
}

void UpdateWindow::chkMinProfit_Click()
{
    PricingRule &rule = *pricingRule_;
    rule.UseMinProfit = IsOn(chkMinProfit_);
    txtMinProfit_->setEnabled(chkMinProfit_->isEnabled() && rule.UseMinProfit);
    chkUseOnProfit_->setEnabled(rule.IsUseOnProfitEnabled());
    txtUseOnProfit_->setEnabled(chkUseOnProfit_->isEnabled() && IsOn(chkUseOnProfit_));
    RefreshSample();
}

void UpdateWindow::chkMinRate_Click()
{
    PricingRule &rule = *pricingRule_;
    rule.UseMinSellRate = IsOn(chkMinRate_);
    txtMinSellRate_->setEnabled(chkMinRate_->isEnabled() && rule.UseMinSellRate);
    chkUseOnSellRate_->setEnabled(rule.IsUseOnSellRateEnabled());
    txtUseOnSellRate_->setEnabled(rule.IsUseOnSellRateEnabled() && IsOn(chkUseOnSellRate_));
    RefreshSample();
}

void UpdateWindow::chkUseOnAll_Click()
{
    PricingRule &rule = *pricingRule_;
    rule.UseOnAll = IsOn(chkUseOnAll_);
    // Turning "all" off offers every criterion again, whatever the floors say.
    for (QCheckBox *criterion : {chkUseOnMargin_, chkUseOnMarkup_, chkUseOnSellRate_, chkUseOnProfit_})
        criterion->setEnabled(!rule.UseOnAll);
    txtUseOnMargin_->setEnabled(rule.UseOnMargin() && !rule.UseOnAll);
    txtUseOnMarkup_->setEnabled(rule.UseOnMarkup() && !rule.UseOnAll);
    txtUseOnSellRate_->setEnabled(rule.UseOnSellRate && !rule.UseOnAll);
    txtUseOnProfit_->setEnabled(rule.UseOnProfit && !rule.UseOnAll);
    RefreshSample();
}

void UpdateWindow::chkUseOnMargin_Click()
{
    pricingRule_->SetUseOnMargin(IsOn(chkUseOnMargin_));
    txtUseOnMargin_->setEnabled(pricingRule_->UseOnMargin());
    // The margin and markup criteria exclude each other; the flag keeps the
    // other box's handler from reaching back to this one.
    if (!switchingCriterion_) {
        switchingCriterion_ = true;
        chkUseOnMarkup_->setChecked(false);
        switchingCriterion_ = false;
    }
    RefreshSample();
}

void UpdateWindow::chkUseOnMarkup_Click()
{
    pricingRule_->SetUseOnMarkup(IsOn(chkUseOnMarkup_));
    txtUseOnMarkup_->setEnabled(pricingRule_->UseOnMarkup());
    if (!switchingCriterion_) {
        switchingCriterion_ = true;
        chkUseOnMargin_->setChecked(false);
        switchingCriterion_ = false;
    }
    RefreshSample();
}

void UpdateWindow::chkUseOnProfit_Click()
{
    pricingRule_->UseOnProfit = IsOn(chkUseOnProfit_);
    txtUseOnProfit_->setEnabled(chkUseOnProfit_->isEnabled() && pricingRule_->UseOnProfit);
    RefreshSample();
}

void UpdateWindow::chkUseOnSellRate_Click()
{
    pricingRule_->UseOnSellRate = IsOn(chkUseOnSellRate_);
    txtUseOnSellRate_->setEnabled(pricingRule_->UseOnSellRate);
    RefreshSample();
}

void UpdateWindow::chkImport_Click()
{
    importFileEnabled_ = IsOn(chkImport_);
    txtFileName_->setEnabled(importFileEnabled_);
    cmdFile_->setEnabled(importFileEnabled_);
    chkPriceDownload_->setChecked(!importFileEnabled_);
}

void UpdateWindow::chkPriceDownload_Click()
{
    priceDownloadEnabled_ = IsOn(chkPriceDownload_);
    importFileEnabled_ = IsOn(chkImport_);
    txtKdId_->setEnabled(priceDownloadEnabled_);
    chkImport_->setChecked(!priceDownloadEnabled_);
    txtKdId_Validate();
}

bool UpdateWindow::txtKdId_Validate()
{
    customerId_ = txtKdId_->text().trimmed();
    txtKdId_->setText(customerId_);
    ShowDownloadStatus(customerId_);
    return true;
}

void UpdateWindow::ShowDownloadStatus(const QString &customerId)
{
    if (!environment_.downloadStatus)
        return;
    // The request runs on the window's own event loop, so the window stays
    // usable while the server answers. Only the newest answer is shown: a
    // newer request cancels the one under way.
    StopStatusRequests();
    statusRequest_ = environment_.downloadStatus(customerId);
    StatusRequest *request = statusRequest_.get();
    connect(request, &StatusRequest::answered, this, [this, request](const QString &text) {
        // A replaced request is deleted and cannot answer; this guards
        // against a request answering twice.
        if (request != statusRequest_.get())
            return;
        lblDownloadDate_->setText(text);
        // Deleted later: the request is still sending this signal.
        statusRequest_.release()->deleteLater();
    });
}

void UpdateWindow::StopStatusRequests()
{
    statusRequest_.reset();
}

} // namespace preisliste
