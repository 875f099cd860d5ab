#pragma once

#include "common/runsinks.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <optional>

namespace preisliste::test {

// The certificate and private key (PEM files) an https test server presents.
struct TlsIdentity {
    QString certificateFile;
    QString keyFile;
};

// A real HTTP server on 127.0.0.1 with an ephemeral port, serving from a
// thread of its own so that the test's thread may block in a download or in
// a child process. Every request gets the scripted answer; every request
// line is recorded. Given an identity, it speaks https and presents it.
class HttpTestServer {
public:
    HttpTestServer();
    explicit HttpTestServer(const TlsIdentity &identity);
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer &) = delete;
    HttpTestServer &operator=(const HttpTestServer &) = delete;

    quint16 Port() const { return port_; }
    QString Address() const; // "http://127.0.0.1:<port>", or https

    // Answers with `status` and `body` (with Content-Length), then closes.
    void Respond(int status, const QByteArray &body);
    // Answers with these bytes exactly (status line, headers, body), then
    // closes the connection.
    void RespondRaw(const QByteArray &bytes);
    // Accepts the connection, reads the request and never answers.
    void NeverAnswer();

    // "GET /kvtedx/getpricelist.php?custid=...&head=0 HTTP/1.1", one per
    // request, in order.
    QStringList RequestLines() const;
    // Requests left unanswered (NeverAnswer) whose connection the client
    // has closed.
    int AbandonedRequests() const;

    struct Script {
        bool answer = true;
        QByteArray bytes;
    };

private:
    class Worker;
    friend class Worker;
    void Start(const TlsIdentity *identity);
    Script CurrentScript() const;
    void Record(const QString &requestLine);
    void CountAbandoned();

    mutable QMutex mutex_;
    Script script_;
    QStringList requestLines_;
    int abandonedRequests_ = 0;
    QThread thread_;
    Worker *worker_ = nullptr;
    quint16 port_ = 0;
    bool tls_ = false;
};

// An HTTP answer with Content-Length and "Connection: close".
QByteArray HttpResponse(int status, const QByteArray &body);

// Runs the event loop until `done` holds or `timeoutMs` passed.
bool WaitUntil(const std::function<bool()> &done, int timeoutMs = 10000);

// A port on 127.0.0.1 on which nothing listens: a connection is refused.
quint16 UnusedPort();

// A stop request that a timer or another thread can raise while a download
// waits.
class StopSwitch : public ProgressSink {
public:
    bool SetProgress(int, int) override { return StopRequested(); }
    bool StopRequested() const override { return stop_.load(); }
    void RequestStop() { stop_.store(true); }

private:
    std::atomic<bool> stop_{false};
};

// Sets an environment variable for the life of the object and then restores
// it (or removes it when it was not set).
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const QString &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *name_;
    std::optional<QByteArray> previous_;
};

} // namespace preisliste::test
