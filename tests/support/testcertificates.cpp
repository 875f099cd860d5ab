#include "support/testcertificates.h"

#include <QFile>
#include <QProcess>

namespace preisliste::test {

namespace {

// Elliptic-curve keys are made in an instant, unlike RSA ones.
const QStringList kNewKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                          QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

QString CertificateName(TestCertificates::Kind kind)
{
    switch (kind) {
    case TestCertificates::Kind::Valid:
        return QStringLiteral("valid.pem");
    case TestCertificates::Kind::Expired:
        return QStringLiteral("expired.pem");
    case TestCertificates::Kind::OtherHost:
        return QStringLiteral("otherhost.pem");
    case TestCertificates::Kind::SelfSigned:
        return QStringLiteral("selfsigned.pem");
    }
    return {};
}

} // namespace

TestCertificates::TestCertificates()
{
    const QString authorityKey = dir_.filePath(QStringLiteral("authority.key"));
    const QString serverKey = dir_.filePath(QStringLiteral("server.key"));
    const QString request = dir_.filePath(QStringLiteral("server.csr"));
    // Qt accepts a host name from the subject's common name as well, so the
    // other host's certificate names it there too.
    const QString otherRequest = dir_.filePath(QStringLiteral("otherhost.csr"));
    const QString forLocalhost = Write(QStringLiteral("ip.ext"), "subjectAltName=IP:127.0.0.1\n");
    const QString forOtherHost = Write(QStringLiteral("dns.ext"), "subjectAltName=DNS:preisliste.example.com\n");
    const auto signedByAuthority = [&](Kind kind, const QString &csr, const QString &extensions, const QString &days) {
        return OpenSsl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), csr,
                        QStringLiteral("-CA"), AuthorityFile(), QStringLiteral("-CAkey"), authorityKey,
                        QStringLiteral("-extfile"), extensions, QStringLiteral("-days"), days, QStringLiteral("-out"),
                        dir_.filePath(CertificateName(kind))});
    };
    // -days -1 makes a certificate that expired the moment it was made.
    const bool made =
        OpenSsl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey
                + QStringList{QStringLiteral("-keyout"), authorityKey, QStringLiteral("-out"), AuthorityFile(),
                              QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                              QStringLiteral("/CN=Preisliste Test-CA")})
        && OpenSsl(QStringList{QStringLiteral("req")} + kNewKey
                   + QStringList{QStringLiteral("-keyout"), serverKey, QStringLiteral("-out"), request,
                                 QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")})
        && OpenSsl({QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-key"), serverKey,
                    QStringLiteral("-out"), otherRequest, QStringLiteral("-subj"),
                    QStringLiteral("/CN=preisliste.example.com")})
        && signedByAuthority(Kind::Valid, request, forLocalhost, QStringLiteral("2"))
        && signedByAuthority(Kind::Expired, request, forLocalhost, QStringLiteral("-1"))
        && signedByAuthority(Kind::OtherHost, otherRequest, forOtherHost, QStringLiteral("2"))
        && OpenSsl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-key"), serverKey,
                    QStringLiteral("-out"), dir_.filePath(CertificateName(Kind::SelfSigned)), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                    QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
    if (!made && error_.isEmpty())
        error_ = QStringLiteral("openssl failed");
}

TlsIdentity TestCertificates::Server(Kind kind) const
{
    return {dir_.filePath(CertificateName(kind)), dir_.filePath(QStringLiteral("server.key"))};
}

bool TestCertificates::OpenSsl(const QStringList &arguments)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        error_ = QStringLiteral("openssl %1: %2%3")
                     .arg(arguments.constFirst(), openssl.errorString(),
                          QString::fromLocal8Bit(openssl.readAllStandardError()));
        return false;
    }
    return true;
}

QString TestCertificates::Write(const QString &name, const QByteArray &content) const
{
    const QString path = dir_.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

} // namespace preisliste::test
