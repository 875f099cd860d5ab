#include "pricelist/pricelistdownload.h"

#include "buildconfig.h"
#include "common/runsinks.h"
#include "pricelist/pricelistfile.h"
#include "pricelist/servertrust.h"

#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslSocket>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrlQuery>


namespace preisliste {

namespace {

constexpr std::chrono::milliseconds kStopPollInterval{100};
constexpr qint64 kWriteBlock = 1 << 16;

int StatusOf(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool IsRedirect(int status)
{
    return status >= 300 && status < 400;
}

bool IsHttps(const QUrl &url)
{
    return url.scheme() == QLatin1String("https");
}

// One request driven to its end in a local event loop, for callers that wait.
FetchResult Fetch(const QUrl &url, const DownloadLimits &limits, const ProgressSink *stop)
{
    if (stop && stop->StopRequested()) {
        FetchResult stopped;
        stopped.failure = DownloadFailure::Stopped;
        return stopped;
    }
    // The loop comes first: on a thread without an event loop of its own it
    // provides the event dispatcher the network objects need.
    QEventLoop loop;
    PriceListRequest request(url, limits);
    QObject::connect(&request, &PriceListRequest::finished, &loop, &QEventLoop::quit);
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, [&] {
        if (stop->StopRequested())
            request.Stop();
    });
    if (stop)
        stopPoll.start(kStopPollInterval);
    // finished() comes from the event loop, so it cannot have been missed.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return request.Result();
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
    switch (QNetworkReply::NetworkError(result.networkErrorCode)) {
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

PriceListRequest::PriceListRequest(const QUrl &url, DownloadLimits limits, QObject *parent)
    : QObject(parent), limits_(limits)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (IsHttps(url))
        request.setSslConfiguration(ServerTlsConfiguration());
    reply_ = manager_.get(request);
    // The errors are only recorded, never ignored: the connection fails.
    connect(reply_, &QNetworkReply::sslErrors, this, [this, host = url.host()](const QList<QSslError> &errors) {
        result_.certificateProblem = CertificateProblemText(errors, host);
    });
    connect(reply_, &QNetworkReply::metaDataChanged, this, &PriceListRequest::CheckMetaData);
    connect(reply_, &QNetworkReply::readyRead, this, &PriceListRequest::Collect);
    connect(reply_, &QNetworkReply::finished, this, &PriceListRequest::OnReplyFinished);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { EndWith(DownloadFailure::TimedOut); });
    deadline_.start(limits_.timeout);
}

PriceListRequest::~PriceListRequest()
{
    reply_->disconnect(this);
    if (!reply_->isFinished())
        reply_->abort();
}

void PriceListRequest::Stop()
{
    EndWith(DownloadFailure::Stopped);
}

void PriceListRequest::CheckMetaData()
{
    const int status = StatusOf(*reply_);
    // An error page is read to its end and thrown away rather than aborted:
    // Qt ends such a reply with an error of its own, and aborting it as well
    // makes Qt complain on stderr (a mail from cron). The deadline still
    // bounds a server that never ends its page.
    if (status != 0 && status != 200 && !IsRedirect(status))
        errorPage_ = true;
    else if (reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong() > limits_.maxResponseBytes)
        EndWith(DownloadFailure::TooLarge);
}

void PriceListRequest::Collect()
{
    if (ending_)
        return;
    if (errorPage_) {
        reply_->readAll();
        return;
    }
    result_.body += reply_->readAll();
    if (result_.body.size() > limits_.maxResponseBytes)
        EndWith(DownloadFailure::TooLarge);
}

void PriceListRequest::OnReplyFinished()
{
    if (ending_)
        return;
    ending_ = true;
    deadline_.stop();
    result_.status = StatusOf(*reply_);
    result_.body += reply_->readAll();
    if (result_.body.size() > limits_.maxResponseBytes) {
        result_.failure = DownloadFailure::TooLarge;
    } else if (result_.status != 0 && result_.status != 200) {
        result_.failure = DownloadFailure::HttpStatus;
    } else if (!result_.certificateProblem.isEmpty()) {
        result_.failure = DownloadFailure::Untrusted;
    } else if (reply_->error() != QNetworkReply::NoError) {
        result_.failure = result_.status == 200 ? DownloadFailure::Incomplete : DownloadFailure::NotReachable;
        result_.networkError = reply_->errorString();
        result_.networkErrorCode = reply_->error();
    }
    if (result_.failure != DownloadFailure::None)
        result_.body.clear();
    // Announced from the event loop, so the receiver may delete this object.
    QMetaObject::invokeMethod(this, &PriceListRequest::Finish, Qt::QueuedConnection);
}

void PriceListRequest::EndWith(DownloadFailure failure)
{
    if (ending_)
        return;
    ending_ = true;
    deadline_.stop();
    result_.failure = failure;
    result_.body.clear();
    // Aborting from within one of the reply's own signals upsets the reply.
    QMetaObject::invokeMethod(this, &PriceListRequest::AbortReply, Qt::QueuedConnection);
}

void PriceListRequest::AbortReply()
{
    reply_->disconnect(this);
    result_.status = StatusOf(*reply_);
    if (!reply_->isFinished())
        reply_->abort();
    Finish();
}

void PriceListRequest::Finish()
{
    Q_EMIT finished();
}

PriceListDownload::PriceListDownload(DownloadLimits limits) : limits_(limits) {}

QDateTime PriceListDownload::ZeroDate()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

bool PriceListDownload::Fail(DownloadFailure failure, const QString &text)
{
    failure_ = failure;
    failureText_ = text;
    return false;
}

bool PriceListDownload::DownloadList(const QString &customerId, bool checkOnly, const ProgressSink *stop)
{
    const std::optional<QUrl> url = BeginRequest(customerId, checkOnly);
    if (!url)
        return false;
    return TakeAnswer(Fetch(*url, limits_, stop));
}

std::optional<QUrl> PriceListDownload::BeginRequest(const QString &customerId, bool checkOnly)
{
    tempFileName_.clear();
    isValid_ = false;
    customerId_ = customerId;
    checkOnly_ = checkOnly;
    failure_ = DownloadFailure::None;
    failureText_.clear();
    httpStatus_ = 0;

    const QUrl server = PriceListServer();
    serverText_ = server.toDisplayString();
    if (!server.isValid() || server.host().isEmpty()
        || (server.scheme() != QLatin1String("http") && server.scheme() != QLatin1String("https"))) {
        Fail(DownloadFailure::InvalidServer,
             QStringLiteral("Die Adresse des Preislisten-Servers „%1“ ist ungültig; erwartet wird "
                            "eine Adresse wie http://server oder https://server.")
                 .arg(serverText_));
        return std::nullopt;
    }
    if (IsHttps(server))
        KeepOpenSslFromCleaningUpAtExit();
    if (IsHttps(server) && !QSslSocket::supportsSsl()) {
        Fail(DownloadFailure::NotReachable,
             QStringLiteral("Der Preislisten-Server %1 verlangt HTTPS, aber OpenSSL fehlt (Debian-Paket libssl3).")
                 .arg(serverText_));
        return std::nullopt;
    }
    return RequestUrl(server, customerId, checkOnly);
}

bool PriceListDownload::TakeAnswer(FetchResult fetched)
{
    const QString &serverText = serverText_;
    const QString &customerId = customerId_;
    httpStatus_ = fetched.status;
    switch (fetched.failure) {
    case DownloadFailure::None:
        break;
    case DownloadFailure::HttpStatus:
        return Fail(fetched.failure, QStringLiteral("Der Server hat keine Preisliste für die Kunden-ID „%1“ "
                                                    "geliefert (HTTP-Status %2).")
                                         .arg(customerId)
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
    case DownloadFailure::Untrusted:
        return Fail(fetched.failure, QStringLiteral("Der Preislisten-Server %1 wird nicht als sicher anerkannt, es "
                                                    "wurde nichts geladen: %2")
                                         .arg(serverText, fetched.certificateProblem));
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
    if (!checkOnly_) {
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

bool PriceListDownload::CheckHeader(QIODevice &answer)
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
