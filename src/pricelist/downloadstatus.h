#pragma once

#include "pricelist/pricelistdownload.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>

#include <memory>

namespace preisliste {

class ProgressSink;

// What the price-list server holds for one customer, from a header-only
// request.
struct DownloadStatus {
    bool hasList = false;
    QDateTime effectiveDate;
    QString listId;
    qint32 sequence = 0;
    QString failureReason; // why there is no list, one German sentence
};

// Asks the server for the header of the customer's price list (the ID is
// trimmed) without waiting: the request runs on the creating thread's event
// loop and emits answered() once, never from within the constructor. Leaves
// no file behind. Deleting the object cancels the request; then nothing is
// emitted.
class DownloadStatusRequest : public QObject {
    Q_OBJECT
public:
    explicit DownloadStatusRequest(const QString &customerId, DownloadLimits limits = {},
                                   QObject *parent = nullptr);
    ~DownloadStatusRequest() override;

Q_SIGNALS:
    void answered(const preisliste::DownloadStatus &status);

private:
    void Answer();

    PriceListDownload download_;
    std::unique_ptr<PriceListRequest> request_; // none when the server address is unusable
};

// The same request, waited for. Leaves no file behind. `stop`, when given, can end the wait.
DownloadStatus RequestDownloadStatus(const QString &customerId, const ProgressSink *stop = nullptr);

// "vom 01 März 2011 00:00 Uhr" (the month name of `locale`), or
// "Keine Daten empfangen!" when there is no list.
QString DownloadStatusText(const DownloadStatus &status, const QLocale &locale);

} // namespace preisliste
