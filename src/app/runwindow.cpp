#include "app/runwindow.h"

#include "app/updatewindow.h"
#include "common/localeformat.h"
#include "pricelist/downloadstatus.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace preisliste {

namespace {

// Saves a picture of the window once the status request has been answered
// (or after ten seconds), then closes it.
void SaveScreenshotWhenFilled(UpdateWindow &window, const QString &file)
{
    auto *poll = new QTimer(&window);
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, waited, file] {
        if (window.PendingStatusRequests() > 0 && waited->elapsed() < 10000)
            return;
        poll->stop();
        const bool saved = window.grab().save(file, "PNG");
        qInfo("%s %s", saved ? "Bild gespeichert:" : "Bild konnte nicht gespeichert werden:", qPrintable(file));
        window.close();
    });
    poll->start(100);
}

// A header-only request to the price-list server, answering with the label
// text.
class ServerStatusRequest final : public StatusRequest {
public:
    ServerStatusRequest(const QString &customerId, const QLocale &locale) : request_(customerId)
    {
        connect(&request_, &DownloadStatusRequest::answered, this, [this, locale](const DownloadStatus &status) {
            Q_EMIT answered(DownloadStatusText(status, locale));
        });
    }

private:
    DownloadStatusRequest request_;
};

} // namespace

DownloadStatusProvider ServerDownloadStatus(const QLocale &locale)
{
    return [locale](const QString &customerId) -> std::unique_ptr<StatusRequest> {
        return std::make_unique<ServerStatusRequest>(customerId, locale);
    };
}

int RunWindow()
{
    const QLocale locale = UserLocale();
    WindowEnvironment environment{
        .settings = TelvoroSettings::FromFile(TelvoroSettings::LocateFile()),
        .currentDirectory = QDir::currentPath(),
        .locale = locale,
        .dialogs = nullptr,
        .downloadStatus = ServerDownloadStatus(locale),
    };
    UpdateWindow window(std::move(environment));
    window.show();
    const QString screenshot = qEnvironmentVariable("PREISLISTE_SCREENSHOT");
    if (!screenshot.isEmpty())
        SaveScreenshotWhenFilled(window, screenshot);
    return QApplication::exec();
}

} // namespace preisliste
