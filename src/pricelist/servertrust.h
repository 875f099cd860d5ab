#pragma once

#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

namespace preisliste {

// OpenSSL frees the per-thread state of every thread from an exit handler of
// its own. A network thread of Qt's that is still ending at that moment then
// frees its part once more, and the program dies of a double free on its way
// out (seen with a status request over https that ends the program at once).
// Called before Qt first loads OpenSSL, this leaves that memory to the system
// at exit, as everything else. Does nothing once OpenSSL runs, or without it.
void KeepOpenSslFromCleaningUpAtExit();

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
