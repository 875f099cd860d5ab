#pragma once

#include "pricelist/pricelistfile.h"
#include "pricelist/pricelistheader.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <optional>

QT_BEGIN_NAMESPACE
class QIODevice;
class QNetworkReply;
QT_END_NAMESPACE

namespace preisliste {

class ProgressSink;

// Why a download brought no usable price list.
enum class DownloadFailure {
    None,
    InvalidServer, // the server address is not an http or https address
    NotReachable,  // no connection: refused, host not found, network down
    Untrusted,     // https: the server's certificate did not verify
    Incomplete,    // the connection broke before the answer was complete
    TimedOut,      // no complete answer within the time-out
    Stopped,       // the operator asked to stop
    HttpStatus,    // an answer other than 200
    TooLarge,      // the answer exceeds the size limit
    TempFile,      // the temporary file could not be created or written
    NotAPriceList, // the answer's first line does not begin with "#kvtpricelist"
    BadHeader,     // "Effective" or "List-Sequence" does not convert
};

// How long a download may take and how large its answer may be.
struct DownloadLimits {
    std::chrono::milliseconds timeout{30000};
    qint64 maxResponseBytes = kMaxPriceListBytes;
};

// The path and query keys of the price-list server.
inline const QString kPriceListPath = QStringLiteral("/kvtedx/getpricelist.php");

// The price-list server: $PREISLISTE_SERVER (for example
// "http://127.0.0.1:8080"), else the address the program was built with.
QUrl PriceListServer();

// What one GET request to the price-list server brought.
struct FetchResult {
    DownloadFailure failure = DownloadFailure::None;
    int status = 0;           // the HTTP status; 0 when none arrived
    QByteArray body;          // empty unless the request succeeded
    QString networkError;     // Qt's description when the connection failed
    int networkErrorCode = 0; // a QNetworkReply::NetworkError
    QString certificateProblem; // https: why the server's certificate was refused, in German
};

// One GET request, asynchronous on the thread that creates the object, which
// needs an event loop (or a QEventLoop made before this object). The answer
// is collected in memory up to the size limit; the time-out, a status other
// than 200 and an oversized answer each end the request at once. Emits
// finished() exactly once, always from the event loop, never from within the
// constructor or Stop(). Deleting the object aborts the request.
class PriceListRequest : public QObject {
    Q_OBJECT
public:
    PriceListRequest(const QUrl &url, DownloadLimits limits, QObject *parent = nullptr);
    ~PriceListRequest() override;

    // Ends the request as stopped, unless it has already ended.
    void Stop();
    const FetchResult &Result() const { return result_; }

Q_SIGNALS:
    void finished();

private:
    void CheckMetaData();
    void Collect();
    void OnReplyFinished();
    void EndWith(DownloadFailure failure);
    void AbortReply();
    void Finish();

    DownloadLimits limits_;
    QNetworkAccessManager manager_;
    QNetworkReply *reply_ = nullptr; // owned by manager_
    QTimer deadline_;
    FetchResult result_;
    bool ending_ = false;
    bool errorPage_ = false; // the server answered with an error status
};

// Fetches the price list of one customer from the price-list server, reads
// the list's header block from the answer and, for a full download, keeps the
// answer in a new temporary file with CR LF line ends, for the import and for
// the operator. One object serves one download. Works on any thread: it waits
// in an event loop of its own and needs none from its caller.
class PriceListDownload {
public:
    explicit PriceListDownload(DownloadLimits limits = {});

    // The value of the header line "Effective"; 30 Dec 1899 00:00 until one
    // is read.
    QDateTime EffectiveDate() const { return effectiveDate_; }
    // The value of the header line "List-Sequence".
    qint32 Sequence() const { return sequence_; }
    // The value of the header line "List-ID", the list's identifier.
    QString GUID() const { return guid_; }
    // True once an answer has arrived and, for a full download, has been
    // stored in the temporary file.
    bool IsValid() const { return isValid_; }
    // True when at least one line follows the blank line ending the header.
    bool HasData() const { return hasData_; }
    // The file holding the answer of a full download, kept for the caller;
    // empty after a header-only request, which writes no file.
    QString TempFileName() const { return tempFileName_; }

    // Sends one GET request for the customer `customerId`, for the header only when
    // `checkOnly`. True when the answer arrived (and was stored), is a list
    // in server form and its header values convert. A failed request is a
    // false result, never an exception. `stop`, when given, is asked every
    // 100 ms whether the operator wants to stop.
    bool DownloadList(const QString &customerId, bool checkOnly, const ProgressSink *stop = nullptr);

    // DownloadList() in two steps around a request of the caller's own, for
    // a caller that must not wait: BeginRequest() clears the last result and
    // gives the address to ask, or nothing (with the failure set) when the
    // server address is unusable; TakeAnswer() judges the request's result
    // as DownloadList() does.
    std::optional<QUrl> BeginRequest(const QString &customerId, bool checkOnly);
    bool TakeAnswer(FetchResult fetched);

    // Why the last DownloadList returned false, as one German sentence.
    DownloadFailure Failure() const { return failure_; }
    const QString &FailureText() const { return failureText_; }
    // The HTTP status of the last answer; 0 when none arrived.
    int HttpStatus() const { return httpStatus_; }

    static QDateTime ZeroDate();

    // Reads the header block of an answer with ReadPriceListHeader(), as the
    // import reads it: true when the answer is a list in server form and its
    // values convert; sets the header properties and HasData(). DownloadList()
    // calls it on every answer.
    bool CheckHeader(QIODevice &answer);

private:
    bool Fail(DownloadFailure failure, const QString &text);

    DownloadLimits limits_;
    QDateTime effectiveDate_ = ZeroDate();
    qint32 sequence_ = 0;
    QString guid_;
    bool isValid_ = false;
    bool hasData_ = false;
    QString tempFileName_;

    QString customerId_;
    QString serverText_;
    bool checkOnly_ = false;
    DownloadFailure failure_ = DownloadFailure::None;
    QString failureText_;
    int httpStatus_ = 0;
};

} // namespace preisliste
