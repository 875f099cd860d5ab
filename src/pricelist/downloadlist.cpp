#include "pricelist/downloadlist.h"

#include "buildconfig.h"
#include "common/runsinks.h"
#include "pricelist/pricelistfile.h"

#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrlQuery>

#include <memory>

namespace preisliste {

namespace {

constexpr std::chrono::milliseconds kStopPollInterval{100};
constexpr qint64 kWriteBlock = 1 << 16;

struct FetchResult {
    DownloadFailure failure = DownloadFailure::None;
    int status = 0;
    QByteArray body;
    QString networkError; // Qt's description when the connection failed
    QNetworkReply::NetworkError networkErrorCode = QNetworkReply::NoError;
};

int StatusOf(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool IsRedirect(int status)
{
    return status >= 300 && status < 400;
}

// One GET request, waited for in a local event loop. The answer is collected
// in memory up to the size limit; a stop request, the time-out, a status
// other than 200 and an oversized answer each end the wait at once.
FetchResult Fetch(const QUrl &url, const DownloadLimits &limits, const ProgressSink *stop)
{
    FetchResult result;
    if (stop && stop->StopRequested()) {
        result.failure = DownloadFailure::Stopped;
        return result;
    }
    // The loop comes first: on a thread without an event loop of its own it
    // provides the event dispatcher the network objects need.
    QEventLoop loop;
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));

    // The request is aborted once the loop has returned: aborting from
    // within one of the reply's own signals upsets the reply.
    auto abortWith = [&](DownloadFailure failure) {
        if (result.failure == DownloadFailure::None)
            result.failure = failure;
        loop.quit();
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, [&] {
        const int status = StatusOf(*reply);
        if (status != 0 && status != 200 && !IsRedirect(status))
            abortWith(DownloadFailure::HttpStatus);
        else if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > limits.maxResponseBytes)
            abortWith(DownloadFailure::TooLarge);
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&] {
        if (result.failure != DownloadFailure::None)
            return;
        result.body += reply->readAll();
        if (result.body.size() > limits.maxResponseBytes) {
            result.body.clear();
            abortWith(DownloadFailure::TooLarge);
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&] { abortWith(DownloadFailure::TimedOut); });
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, [&] {
        if (stop && stop->StopRequested())
            abortWith(DownloadFailure::Stopped);
    });
    deadline.start(limits.timeout);
    if (stop)
        stopPoll.start(kStopPollInterval);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();
    stopPoll.stop();
    if (result.failure != DownloadFailure::None && !reply->isFinished())
        reply->abort();

    result.status = StatusOf(*reply);
    if (result.failure != DownloadFailure::None)
        return result;
    result.body += reply->readAll();
    if (result.body.size() > limits.maxResponseBytes) {
        result.failure = DownloadFailure::TooLarge;
    } else if (result.status != 0 && result.status != 200) {
        result.failure = DownloadFailure::HttpStatus;
    } else if (reply->error() != QNetworkReply::NoError) {
        result.failure = result.status == 200 ? DownloadFailure::Incomplete : DownloadFailure::NotReachable;
        result.networkError = reply->errorString();
        result.networkErrorCode = reply->error();
    }
    if (result.failure != DownloadFailure::None)
        result.body.clear();
    return result;
}

// The custid value is percent-encoded completely, so blanks, "&", "#" or "+"
// in a customer ID stay part of the ID.
QUrl RequestUrl(QUrl server, const QString &customerId, bool checkOnly)
{
    QString path = server.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    server.setPath(path + kPriceListPath);
    const QByteArray query = "custid=" + QUrl::toPercentEncoding(customerId) + "&head=" + (checkOnly ? "1" : "0");
    server.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    server.setFragment(QString());
    return server;
}

QString ReachabilityReason(const FetchResult &result)
{
    switch (result.networkErrorCode) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("Verbindung abgelehnt");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("Rechner nicht gefunden");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("Verbindung vom Server geschlossen");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("sichere Verbindung fehlgeschlagen");
    default:
        return result.networkError;
    }
}

QString SecondsText(std::chrono::milliseconds duration)
{
    QString text = QString::number(double(duration.count()) / 1000.0);
    return text.replace(u'.', u',');
}

// Writes `body` byte for byte, with a CR put before every LF that does not
// follow one, so the file has CR LF line ends. A lone CR stays as it is.
bool WriteWithCrLf(QFile &file, const QByteArray &body)
{
    QByteArray out;
    out.reserve(kWriteBlock + 2);
    char previous = 0;
    for (const char byte : body) {
        if (byte == '\n' && previous != '\r')
            out += '\r';
        out += byte;
        previous = byte;
        if (out.size() >= kWriteBlock) {
            if (file.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    return file.write(out) == out.size() && file.flush();
}

// A new file in the temporary folder, readable and writable only by its
// owner, that stays when the object goes. Empty on failure.
QString StoreInTemporaryFile(const QByteArray &body, QString &error)
{
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral(".kvtXXXXXX")));
    file.setAutoRemove(false);
    if (!file.open()) {
        error = file.errorString();
        return {};
    }
    const QString path = file.fileName();
    if (!WriteWithCrLf(file, body)) {
        error = file.errorString();
        file.close();
        QFile::remove(path); // a half-written list must never be imported
        return {};
    }
    file.close();
    return path;
}

} // namespace

QUrl PriceListServer()
{
    const QString configured = qEnvironmentVariable("PREISLISTE_SERVER").trimmed();
    return QUrl(configured.isEmpty() ? QStringLiteral(PREISLISTE_DEFAULT_SERVER) : configured,
                QUrl::StrictMode);
}

CDownloadList::CDownloadList(DownloadLimits limits) : limits_(limits) {}

QDateTime CDownloadList::ZeroDate()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

bool CDownloadList::Fail(DownloadFailure failure, const QString &text)
{
    failure_ = failure;
    failureText_ = text;
    return false;
}

bool CDownloadList::DownloadList(const QString &kdId, bool checkOnly, const ProgressSink *stop)
{
    tempFileName_.clear();
    isValid_ = false;
    customerId_ = kdId;
    failure_ = DownloadFailure::None;
    failureText_.clear();
    httpStatus_ = 0;

    const QUrl server = PriceListServer();
    const QString serverText = server.toDisplayString();
    if (!server.isValid() || server.host().isEmpty()
        || (server.scheme() != QLatin1String("http") && server.scheme() != QLatin1String("https")))
        return Fail(DownloadFailure::InvalidServer,
                    QStringLiteral("Die Adresse des Preislisten-Servers „%1“ ist ungültig; erwartet wird "
                                   "eine Adresse wie http://server oder https://server.")
                        .arg(serverText));

    FetchResult fetched = Fetch(RequestUrl(server, kdId, checkOnly), limits_, stop);
    httpStatus_ = fetched.status;
    switch (fetched.failure) {
    case DownloadFailure::None:
        break;
    case DownloadFailure::HttpStatus:
        return Fail(fetched.failure, QStringLiteral("Der Server hat keine Preisliste für die Kunden-ID „%1“ "
                                                    "geliefert (HTTP-Status %2).")
                                         .arg(kdId)
                                         .arg(fetched.status));
    case DownloadFailure::TimedOut:
        return Fail(fetched.failure, QStringLiteral("Zeitüberschreitung: Der Preislisten-Server %1 hat nicht "
                                                    "innerhalb von %2 Sekunden vollständig geantwortet.")
                                         .arg(serverText, SecondsText(limits_.timeout)));
    case DownloadFailure::Stopped:
        return Fail(fetched.failure, QStringLiteral("Der Download wurde abgebrochen."));
    case DownloadFailure::TooLarge:
        return Fail(fetched.failure, QStringLiteral("Die Antwort des Preislisten-Servers ist größer als %1 MB "
                                                    "und wurde verworfen.")
                                         .arg(limits_.maxResponseBytes / (1024 * 1024)));
    case DownloadFailure::Incomplete:
        return Fail(fetched.failure, QStringLiteral("Die Verbindung zum Preislisten-Server %1 brach ab, bevor "
                                                    "die Preisliste vollständig war.")
                                         .arg(serverText));
    default:
        return Fail(DownloadFailure::NotReachable,
                    QStringLiteral("Der Preislisten-Server %1 ist nicht erreichbar: %2.")
                        .arg(serverText, ReachabilityReason(fetched)));
    }

    // A header-only answer is checked where it is, in memory; a full list is
    // kept on disk for the import and for the operator.
    if (!checkOnly) {
        QString error;
        tempFileName_ = StoreInTemporaryFile(fetched.body, error);
        if (tempFileName_.isEmpty())
            return Fail(DownloadFailure::TempFile,
                        QStringLiteral("Die heruntergeladene Preisliste konnte nicht gespeichert werden: %1")
                            .arg(error));
    }
    isValid_ = true;
    QBuffer answer(&fetched.body);
    answer.open(QIODevice::ReadOnly);
    return CheckHeader(answer);
}

bool CDownloadList::CheckHeader(QIODevice &answer)
{
    hasData_ = false;
    const PriceListHeader header = ReadPriceListHeader(answer);
    if (header.form != PriceListForm::Server)
        return Fail(DownloadFailure::NotAPriceList,
                    QStringLiteral("Der Server hat keine Preisliste für die Kunden-ID „%1“ geliefert (die "
                                   "Antwort beginnt nicht mit „%2“).")
                        .arg(customerId_, kServerFormMarker));
    effectiveDate_ = header.effective.value_or(effectiveDate_);
    sequence_ = header.sequence.value_or(sequence_);
    guid_ = header.listId.value_or(guid_);
    if (!header.badLine.isEmpty())
        return Fail(DownloadFailure::BadHeader,
                    QStringLiteral("Der Kopf der Preisliste für die Kunden-ID „%1“ ist ungültig: „%2“ ist %3.")
                        .arg(customerId_, header.badLine, header.badValueReason));
    hasData_ = header.hasData;
    return true;
}

} // namespace preisliste
