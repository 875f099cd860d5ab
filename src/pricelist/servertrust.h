#pragma once

#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

namespace preisliste {

// Whom an https connection to the price-list server trusts: the system's
// certificate authorities (Debian: /etc/ssl/certs, package ca-certificates)
// and, when $SSL_CERT_FILE names a file, the certificates in it as well. Qt
// itself does not read $SSL_CERT_FILE. Verification is never switched off.
QSslConfiguration ServerTlsConfiguration();

// The certificates of $SSL_CERT_FILE; empty when it is unset, missing or
// holds none.
QList<QSslCertificate> EnvironmentCaCertificates();

// Why the certificate of `host` was not accepted, in German, each reason
// once ("das Zertifikat ist selbst signiert; …"), followed by what the
// operator can do about it.
QString CertificateProblemText(const QList<QSslError> &errors, const QString &host);

} // namespace preisliste
