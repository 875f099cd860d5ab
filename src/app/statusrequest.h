#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace preisliste {

// One request for the text of the status label, under way on the window's
// thread. Emits answered() once, from the event loop, never while the
// provider is still creating the request. Deleting the object cancels the
// request; then nothing is emitted.
class StatusRequest : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void answered(const QString &text);
};

// Sends a status request for the customer to the price-list server (or to a
// stand-in). Called on the window's thread; must not wait for the answer.
using DownloadStatusProvider = std::function<std::unique_ptr<StatusRequest>(const QString &customerId)>;

} // namespace preisliste
