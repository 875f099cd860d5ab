#include "support/httptestserver.h"

#include "pricelist/servertrust.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QFile>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

namespace preisliste::test {

class HttpTestServer::Worker : public QObject {
public:
    explicit Worker(HttpTestServer &owner) : owner_(owner) {}

    quint16 Listen()
    {
        server_ = new QTcpServer(this);
        if (!server_->listen(QHostAddress::LocalHost, 0))
            return 0;
        QObject::connect(server_, &QTcpServer::newConnection, this, [this] { Accept(); });
        return server_->serverPort();
    }

    // A connection is pending only once its handshake has succeeded.
    quint16 ListenEncrypted(const TlsIdentity &identity)
    {
        // The server is the first to load OpenSSL in a test; the program
        // would do this before its own first request.
        KeepOpenSslFromCleaningUpAtExit();
        auto *server = new QSslServer(this);
        server_ = server;
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate::fromPath(identity.certificateFile).value(0));
        QFile key(identity.keyFile);
        if (!key.open(QIODevice::ReadOnly))
            return 0;
        configuration.setPrivateKey(QSslKey(&key, QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        server->setSslConfiguration(configuration);
        if (!server->listen(QHostAddress::LocalHost, 0))
            return 0;
        QObject::connect(server, &QTcpServer::pendingConnectionAvailable, this, [this] { Accept(); });
        return server->serverPort();
    }

private:
    void Accept()
    {
        while (QTcpSocket *socket = server_->nextPendingConnection()) {
            auto *received = new QByteArray;
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QObject::destroyed, socket, [received] { delete received; });
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
                const bool complete = received->contains("\r\n\r\n");
                *received += socket->readAll();
                if (!complete && received->contains("\r\n\r\n"))
                    Answer(*socket, *received);
            });
        }
    }

    void Answer(QTcpSocket &socket, const QByteArray &request)
    {
        owner_.Record(QString::fromLatin1(request.left(request.indexOf("\r\n"))));
        const Script script = owner_.CurrentScript();
        if (!script.answer) {
            // Only the client can end this connection: it gave up.
            QObject::connect(&socket, &QTcpSocket::disconnected, &socket, [this] { owner_.CountAbandoned(); });
            return;
        }
        socket.write(script.bytes);
        socket.disconnectFromHost(); // after everything written has gone out
    }

    HttpTestServer &owner_;
    QTcpServer *server_ = nullptr;
};

HttpTestServer::HttpTestServer()
{
    Start(nullptr);
}

HttpTestServer::HttpTestServer(const TlsIdentity &identity) : tls_(true)
{
    Start(&identity);
}

void HttpTestServer::Start(const TlsIdentity *identity)
{
    script_.bytes = HttpResponse(404, "Not Found");
    worker_ = new Worker(*this);
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
    QMetaObject::invokeMethod(
        worker_, [this, identity] { port_ = identity ? worker_->ListenEncrypted(*identity) : worker_->Listen(); },
        Qt::BlockingQueuedConnection);
    EXPECT_NE(port_, 0) << "the test server cannot listen on 127.0.0.1";
}

HttpTestServer::~HttpTestServer()
{
    thread_.quit();
    thread_.wait();
}

QString HttpTestServer::Address() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(tls_ ? QStringLiteral("https") : QStringLiteral("http")).arg(port_);
}

void HttpTestServer::Respond(int status, const QByteArray &body)
{
    RespondRaw(HttpResponse(status, body));
}

void HttpTestServer::RespondRaw(const QByteArray &bytes)
{
    const QMutexLocker lock(&mutex_);
    script_ = {true, bytes};
}

void HttpTestServer::NeverAnswer()
{
    const QMutexLocker lock(&mutex_);
    script_ = {false, {}};
}

QStringList HttpTestServer::RequestLines() const
{
    const QMutexLocker lock(&mutex_);
    return requestLines_;
}

HttpTestServer::Script HttpTestServer::CurrentScript() const
{
    const QMutexLocker lock(&mutex_);
    return script_;
}

void HttpTestServer::Record(const QString &requestLine)
{
    const QMutexLocker lock(&mutex_);
    requestLines_ << requestLine;
}

bool WaitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

int HttpTestServer::AbandonedRequests() const
{
    const QMutexLocker lock(&mutex_);
    return abandonedRequests_;
}

void HttpTestServer::CountAbandoned()
{
    const QMutexLocker lock(&mutex_);
    ++abandonedRequests_;
}

QByteArray HttpResponse(int status, const QByteArray &body)
{
    const QByteArray reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Error";
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n"
           + "Content-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size())
           + "\r\nConnection: close\r\n\r\n" + body;
}

quint16 UnusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

ScopedEnvironment::ScopedEnvironment(const char *name, const QString &value) : name_(name)
{
    if (qEnvironmentVariableIsSet(name))
        previous_ = qgetenv(name);
    qputenv(name, value.toLocal8Bit());
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (previous_)
        qputenv(name_, *previous_);
    else
        qunsetenv(name_);
}

} // namespace preisliste::test
