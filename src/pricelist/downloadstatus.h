#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

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
// trimmed). Leaves no file behind. `stop`, when given, can end the wait.
DownloadStatus RequestDownloadStatus(const QString &customerId, const ProgressSink *stop = nullptr);

// "vom 01 März 2011 00:00 Uhr" (the month name of `locale`), or
// "Keine Daten empfangen!" when there is no list.
QString DownloadStatusText(const DownloadStatus &status, const QLocale &locale);

} // namespace preisliste
