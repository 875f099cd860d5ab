#include "pricelist/downloadstatus.h"

namespace preisliste {

namespace {

DownloadStatus StatusOf(const PriceListDownload &download, bool answered)
{
    DownloadStatus status;
    if (!answered) {
        status.failureReason = download.FailureText();
        return status;
    }
    status.hasList = true;
    status.effectiveDate = download.EffectiveDate();
    status.listId = download.GUID();
    status.sequence = download.Sequence();
    return status;
}

} // namespace

DownloadStatusRequest::DownloadStatusRequest(const QString &customerId, DownloadLimits limits, QObject *parent)
    : QObject(parent), download_(limits)
{
    if (const std::optional<QUrl> url = download_.BeginRequest(customerId.trimmed(), true)) {
        request_ = std::make_unique<PriceListRequest>(*url, limits);
        connect(request_.get(), &PriceListRequest::finished, this, &DownloadStatusRequest::Answer);
    } else {
        // Even an unusable address is answered from the event loop, as the
        // caller has had no chance yet to connect.
        QMetaObject::invokeMethod(this, &DownloadStatusRequest::Answer, Qt::QueuedConnection);
    }
}

DownloadStatusRequest::~DownloadStatusRequest() = default;

void DownloadStatusRequest::Answer()
{
    const bool answered = request_ ? download_.TakeAnswer(request_->Result()) : false;
    Q_EMIT this->answered(StatusOf(download_, answered));
}

DownloadStatus RequestDownloadStatus(const QString &customerId, const ProgressSink *stop)
{
    PriceListDownload download;
    const bool answered = download.DownloadList(customerId.trimmed(), true, stop);
    return StatusOf(download, answered);
}

QString DownloadStatusText(const DownloadStatus &status, const QLocale &locale)
{
    if (!status.hasList)
        return QStringLiteral("Keine Daten empfangen!");
    return QStringLiteral("vom ") + locale.toString(status.effectiveDate, QStringLiteral("dd MMMM yyyy hh:mm"))
           + QStringLiteral(" Uhr");
}

} // namespace preisliste
