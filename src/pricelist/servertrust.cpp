#include "pricelist/servertrust.h"

#include <QFileInfo>
#include <QSslCertificate>
#include <QSslSocket>

#include <algorithm>
#include <cstdint>

#include <dlfcn.h>

namespace preisliste {

namespace {

QString DateText(const QDateTime &moment)
{
    return moment.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
}

QString Reason(const QSslError &error, const QString &host)
{
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
        return QStringLiteral("das Zertifikat ist selbst signiert, und ihm wird nicht vertraut");
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("das Zertifikat stammt von keiner Zertifizierungsstelle, der das System vertraut");
    case QSslError::CertificateExpired:
        return QStringLiteral("das Zertifikat ist abgelaufen (gültig bis %1)")
            .arg(DateText(error.certificate().expiryDate()));
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("das Zertifikat gilt erst ab %1").arg(DateText(error.certificate().effectiveDate()));
    case QSslError::HostNameMismatch:
        return QStringLiteral("das Zertifikat gilt nicht für „%1“").arg(host);
    case QSslError::CertificateRevoked:
        return QStringLiteral("das Zertifikat wurde zurückgezogen");
    default:
        return error.errorString();
    }
}

bool IssuerUnknown(QSslError::SslError error)
{
    switch (error) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return true;
    default:
        return false;
    }
}

// What the operator can do about a certificate from an authority the system
// does not know: name it, or find out why the named file does not help.
QString Hint(const QList<QSslError> &errors)
{
    const QString named = qEnvironmentVariable("SSL_CERT_FILE");
    if (!named.isEmpty() && EnvironmentCaCertificates().isEmpty())
        return QStringLiteral(" Die Datei aus SSL_CERT_FILE (%1) enthält keine lesbaren Zertifikate.").arg(named);
    if (std::none_of(errors.begin(), errors.end(), [](const QSslError &e) { return IssuerUnknown(e.error()); }))
        return {};
    if (named.isEmpty())
        return QStringLiteral(" Stammt das Zertifikat von einer eigenen Zertifizierungsstelle, nennen Sie deren "
                              "Zertifikat mit der Umgebungsvariablen SSL_CERT_FILE.");
    return QStringLiteral(" Auch die Zertifikate aus SSL_CERT_FILE (%1) bestätigen es nicht.").arg(named);
}

} // namespace

void KeepOpenSslFromCleaningUpAtExit()
{
    static const bool done = [] {
        // The library Qt's TLS plugin loads; it stays loaded for the plugin.
        void *crypto = dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!crypto)
            return false;
        using InitCrypto = int (*)(std::uint64_t options, const void *settings);
        constexpr std::uint64_t kNoExitHandler = 0x00080000; // OPENSSL_INIT_NO_ATEXIT
        const auto initCrypto = reinterpret_cast<InitCrypto>(dlsym(crypto, "OPENSSL_init_crypto"));
        return initCrypto && initCrypto(kNoExitHandler, nullptr) == 1;
    }();
    Q_UNUSED(done);
}

QList<QSslCertificate> EnvironmentCaCertificates()
{
    const QString file = qEnvironmentVariable("SSL_CERT_FILE");
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return {};
    return QSslCertificate::fromPath(file, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
}

QSslConfiguration ServerTlsConfiguration()
{
    KeepOpenSslFromCleaningUpAtExit();
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> fromEnvironment = EnvironmentCaCertificates();
    // Setting CA certificates ends Qt's loading of the system's on demand,
    // so the system's are named explicitly beside the file's.
    if (!fromEnvironment.isEmpty())
        configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() + fromEnvironment);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return configuration;
}

QString CertificateProblemText(const QList<QSslError> &errors, const QString &host)
{
    QStringList reasons;
    for (const QSslError &error : errors) {
        const QString reason = Reason(error, host);
        if (!reasons.contains(reason))
            reasons.append(reason);
    }
    return reasons.join(QStringLiteral("; ")) + u'.' + Hint(errors);
}

} // namespace preisliste
