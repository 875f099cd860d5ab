#include "pricelist/downloadstatus.h"

#include "pricelist/downloadlist.h"

namespace preisliste {

DownloadStatus RequestDownloadStatus(const QString &customerId, const ProgressSink *stop)
{
    CDownloadList download;
    DownloadStatus status;
    if (!download.DownloadList(customerId.trimmed(), true, stop)) {
        status.failureReason = download.FailureText();
        return status;
    }
    status.hasList = true;
    status.effectiveDate = download.EffectiveDate();
    status.listId = download.GUID();
    status.sequence = download.Sequence();
    return status;
}

QString DownloadStatusText(const DownloadStatus &status, const QLocale &locale)
{
    if (!status.hasList)
        return QStringLiteral("Keine Daten empfangen!");
    return QStringLiteral("vom ") + locale.toString(status.effectiveDate, QStringLiteral("dd MMMM yyyy hh:mm"))
           + QStringLiteral(" Uhr");
}

} // namespace preisliste
