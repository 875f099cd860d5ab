#pragma once

#include "support/httptestserver.h"

#include <QString>
#include <QTemporaryDir>

namespace preisliste::test {

// Certificates for an https test server on 127.0.0.1, made with the openssl
// command in a temporary folder: a certificate authority of the test's own
// and server certificates of each kind a client must tell apart.
class TestCertificates {
public:
    enum class Kind {
        Valid,      // from the test's authority, for 127.0.0.1
        Expired,    // the same, but no longer valid
        OtherHost,  // from the test's authority, for another host name
        SelfSigned, // for 127.0.0.1, signed by itself
    };

    TestCertificates();
    // Why the certificates could not be made; empty when they were.
    const QString &Error() const { return error_; }

    // The authority's certificate, the file to trust.
    QString AuthorityFile() const { return dir_.filePath(QStringLiteral("authority.pem")); }
    TlsIdentity Server(Kind kind) const;

private:
    bool OpenSsl(const QStringList &arguments);
    QString Write(const QString &name, const QByteArray &content) const;

    QTemporaryDir dir_;
    QString error_;
};

} // namespace preisliste::test
