// The program as a timer or cron job runs it: quiet unless something
// happened or went wrong, a wrong call told apart from a failed run, and a
// price-list server over https that must prove who it is.
#include "support/httptestserver.h"
#include "support/testcertificates.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace preisliste::test {
namespace {


QStringList Lines(const QString &text)
{
    return text.split(u'\n', Qt::SkipEmptyParts);
}

// A copy of the sample tariff and Telvoro settings with VAT and no customer
// ID, so that nothing but the run itself has something to say.
class QuietService : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tariff_.CopySample());
        settings_ = tariff_.WriteFile(QStringLiteral("Telvoro.ini"), "[Options]\nMwSt=19\nRatingDefaultMargin=60\n");
    }

    CliResult Run(const QStringList &arguments) const
    {
        return RunCli(arguments + QStringList{QStringLiteral("--settings"), settings_}, {},
                      {QStringLiteral("PREISLISTE_SERVER=") + server_.Address()});
    }
    CliResult Update(const QStringList &options) const
    {
        return Run(QStringList{QStringLiteral("update"), QStringLiteral("--db"), tariff_.Path()} + options);
    }
    QStringList Backups() const
    {
        return QDir(tariff_.FilePath(QStringLiteral("backups"))).entryList({QStringLiteral("*.mdb")}, QDir::Files);
    }

    TempTariff tariff_;
    QString settings_;
    HttpTestServer server_;
};

TEST_F(QuietService, ACommittedUpdateSaysOneLineAndOnlyWarningsBesides)
{
    const CliResult result =
        Update({QStringLiteral("--quiet"), QStringLiteral("--file"), kSampleDir + QStringLiteral("/preise.csv")});
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    ASSERT_EQ(Backups().size(), 1);
    EXPECT_EQ(result.out, QStringLiteral("Tarif aktualisiert: 438 Zeilen (vorher 417), 27 neue, 6 entfernte, "
                                         "37 umbenannte Ziele, 74 Verkaufspreise erhöht, 166 gesenkt – Sicherung: ")
                              + tariff_.FilePath(QStringLiteral("backups/")) + Backups().constFirst() + u'\n');
    // The sample list has a line it skips and rows without a price: those
    // still need the operator's eye, and nothing else is on stderr.
    for (const QString &line : Lines(result.err))
        EXPECT_TRUE(line.startsWith(QStringLiteral("Warnung: ")) || line.startsWith(QStringLiteral("  Zeile "))
                    || line.startsWith(QStringLiteral("Übersprungene Zeilen")))
            << line.toStdString();
}

struct QuietCase {
    const char *name;
    QStringList options;
    QByteArray list; // empty: the sample list
    int exitCode;
    const char *out;       // the whole of stdout
    const char *errPart;   // a part of stderr, or nothing
};

void PrintTo(const QuietCase &c, std::ostream *os) { *os << c.name; }

class QuietRun : public QuietService, public testing::WithParamInterface<QuietCase> {};

TEST_P(QuietRun, PrintsNothingButProblemsAndTheLineOfACommit)
{
    const QuietCase &c = GetParam();
    const QString list = c.list.isEmpty() ? kSampleDir + QStringLiteral("/preise.csv")
                                          : tariff_.WriteFile(QStringLiteral("liste.csv"), c.list);
    const QByteArray before = tariff_.FileBytes();
    const CliResult result = Update(QStringList{QStringLiteral("--quiet"), QStringLiteral("--file"), list} + c.options);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
    EXPECT_EQ(result.out, QString::fromUtf8(c.out));
    EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.errPart))) << result.err.toStdString();
    EXPECT_FALSE(result.err.contains(QStringLiteral("Fertig!")));
    if (c.exitCode != 0 || c.options.contains(QStringLiteral("--dry-run"))) {
        EXPECT_EQ(tariff_.FileBytes(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, QuietRun,
    testing::Values(
        QuietCase{"DryRun", {QStringLiteral("--dry-run")}, {}, 0, "", "Warnung: 1 Zeilen der Preisliste"},
        QuietCase{"WithoutBackup", {QStringLiteral("--no-backup")}, {}, 0,
                  "Tarif aktualisiert: 438 Zeilen (vorher 417), 27 neue, 6 entfernte, 37 umbenannte Ziele, "
                  "74 Verkaufspreise erhöht, 166 gesenkt – ohne Sicherung\n",
                  "Warnung: 1 Zeilen der Preisliste"},
        QuietCase{"Refused", {}, "#Vorwahl;Ziel;Preis\n0043;\xC3\x96sterreich;0,0150\n", 1, "",
                  "Das Update wurde nicht übernommen"},
        QuietCase{"RefusedDryRun", {QStringLiteral("--dry-run")}, "#Vorwahl;Ziel;Preis\n0043;\xC3\x96sterreich;0,0150\n",
                  1, "", "Das Update wurde nicht übernommen"},
        QuietCase{"NotAList", {}, "0043,Österreich,0.0150\n", 1, "", "ist keine Preisliste"}),
    [](const auto &info) { return std::string(info.param.name); });

struct MissingIdCase {
    const char *name;
    QStringList arguments;
};

void PrintTo(const MissingIdCase &c, std::ostream *os) { *os << c.name; }

class MissingCustomerId : public QuietService, public testing::WithParamInterface<MissingIdCase> {};

// Asking the server for "custid=" would only bring a puzzling answer.
TEST_P(MissingCustomerId, IsAWrongCallAndAsksTheServerNothing)
{
    const QByteArray before = tariff_.FileBytes();
    QStringList arguments = GetParam().arguments;
    if (arguments.constFirst() == QLatin1String("update"))
        arguments << QStringLiteral("--db") << tariff_.Path();
    const CliResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.startsWith(QStringLiteral("Keine Kunden-ID: Geben Sie sie mit --customer-id ID an oder "
                                                     "tragen Sie sie als „ProviderAccountUserId“")))
        << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(server_.RequestLines().isEmpty());
    EXPECT_EQ(tariff_.FileBytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, MissingCustomerId,
    testing::Values(MissingIdCase{"UpdateNoneInTheSettings", {QStringLiteral("update"), QStringLiteral("--download")}},
                    MissingIdCase{"UpdateEmpty",
                                  {QStringLiteral("update"), QStringLiteral("--download"),
                                   QStringLiteral("--customer-id"), QString()}},
                    MissingIdCase{"UpdateBlank",
                                  {QStringLiteral("update"), QStringLiteral("--download"),
                                   QStringLiteral("--customer-id"), QStringLiteral("  ")}},
                    MissingIdCase{"StatusNoneInTheSettings", {QStringLiteral("status")}},
                    MissingIdCase{"StatusEmpty", {QStringLiteral("status"), QStringLiteral("--customer-id=")}}),
    [](const auto &info) { return std::string(info.param.name); });

const QByteArray kServerList = "#kvtpricelist\n"
                               "List-ID: 7d1e-tls\n"
                               "List-Sequence: 3\n"
                               "Effective: 01.03.2011 00:00\n"
                               "\n"
                               "0049;Deutschland Festnetz;0,0125\n"
                               "0043;\xC3\x96sterreich;0,02\n";

// A real https server on 127.0.0.1 with a certificate the test has made;
// the operator trusts the test's authority through $SSL_CERT_FILE, or not.
class HttpsServer : public testing::Test {
protected:
    static void SetUpTestSuite() { certificates_ = new TestCertificates; }
    static void TearDownTestSuite() { delete certificates_; }
    void SetUp() override
    {
        ASSERT_TRUE(certificates_->Error().isEmpty()) << certificates_->Error().toStdString();
        tariff_.AddNumber(QStringLiteral("0049"), QStringLiteral("Deutschland Festnetz"), 0.05, 0.01);
        tariff_.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.03);
        settings_ = tariff_.WriteFile(QStringLiteral("Telvoro.ini"),
                                      "[Options]\nProviderAccountUserId=K-7\nMwSt=19\nRatingDefaultMargin=60\n");
    }

    // `trusted`: the file $SSL_CERT_FILE names; empty for no such variable.
    CliResult Run(const HttpTestServer &server, const QStringList &arguments, const QString &trusted) const
    {
        const QString trust = trusted.isEmpty() ? QStringLiteral("SSL_CERT_FILE")
                                                : QStringLiteral("SSL_CERT_FILE=") + trusted;
        return RunCli(arguments + QStringList{QStringLiteral("--settings"), settings_}, {},
                      {QStringLiteral("PREISLISTE_SERVER=") + server.Address(),
                       QStringLiteral("TMPDIR=") + downloads_.path(), trust});
    }
    CliResult Update(const HttpTestServer &server, const QString &trusted) const
    {
        return Run(server, {QStringLiteral("update"), QStringLiteral("--download"), QStringLiteral("--quiet"),
                            QStringLiteral("--db"), tariff_.Path(), QStringLiteral("--max-removed"),
                            QStringLiteral("100")},
                   trusted);
    }
    // Backups of the tariff; the folder also holds the history of the updates.
    bool BackupsExist() const
    {
        return !QDir(tariff_.FilePath(QStringLiteral("backups"))).entryList({QStringLiteral("*.mdb")}, QDir::Files).isEmpty();
    }

    static inline TestCertificates *certificates_ = nullptr;
    TempTariff tariff_;
    QString settings_;
    QTemporaryDir downloads_;
};

TEST_F(HttpsServer, ACertificateFromTheAuthorityInSslCertFileIsTrustedAndTheUpdateCommits)
{
    HttpTestServer server(certificates_->Server(TestCertificates::Kind::Valid));
    server.Respond(200, kServerList);
    const QByteArray before = tariff_.FileBytes();
    const CliResult result = Update(server, certificates_->AuthorityFile());
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.startsWith(QStringLiteral("Tarif aktualisiert: 2 Zeilen (vorher 2)"))) << result.out.toStdString();
    EXPECT_EQ(server.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=K-7&head=0 HTTP/1.1")});
    EXPECT_NE(tariff_.FileBytes(), before);
    EXPECT_TRUE(BackupsExist());
}

struct RefusedCase {
    const char *name;
    TestCertificates::Kind kind;
    bool trustAuthority;
    const char *reason;
};

void PrintTo(const RefusedCase &c, std::ostream *os) { *os << c.name; }

class RefusedCertificate : public HttpsServer, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedCertificate, EndsTheUpdateBeforeAnythingWithTheServerAndTheReason)
{
    const RefusedCase &c = GetParam();
    HttpTestServer server(certificates_->Server(c.kind));
    server.Respond(200, kServerList);
    const QByteArray before = tariff_.FileBytes();
    const CliResult result = Update(server, c.trustAuthority ? certificates_->AuthorityFile() : QString());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
    const QStringList lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 1) << result.err.toStdString();
    EXPECT_TRUE(lines.constFirst().startsWith(QStringLiteral("Der Preislisten-Server %1 wird nicht als sicher "
                                                             "anerkannt, es wurde nichts geladen: ")
                                                  .arg(server.Address())))
        << result.err.toStdString();
    EXPECT_TRUE(lines.constFirst().contains(QString::fromUtf8(c.reason))) << result.err.toStdString();
    EXPECT_TRUE(server.RequestLines().isEmpty()); // the request itself never left the client
    EXPECT_EQ(tariff_.FileBytes(), before);
    EXPECT_FALSE(BackupsExist());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, RefusedCertificate,
    testing::Values(RefusedCase{"UnknownAuthority", TestCertificates::Kind::Valid, false,
                                "das Zertifikat stammt von keiner Zertifizierungsstelle, der das System vertraut. "
                                "Stammt das Zertifikat von einer eigenen Zertifizierungsstelle, nennen Sie deren "
                                "Zertifikat mit der Umgebungsvariablen SSL_CERT_FILE."},
                    RefusedCase{"SelfSigned", TestCertificates::Kind::SelfSigned, true,
                                "das Zertifikat ist selbst signiert"},
                    RefusedCase{"Expired", TestCertificates::Kind::Expired, true,
                                "das Zertifikat ist abgelaufen (gültig bis "},
                    RefusedCase{"OtherHost", TestCertificates::Kind::OtherHost, true,
                                "das Zertifikat gilt nicht für „127.0.0.1“."}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HttpsServer, AnSslCertFileWithoutCertificatesIsNamedInTheRefusal)
{
    HttpTestServer server(certificates_->Server(TestCertificates::Kind::Valid));
    const QString empty = tariff_.WriteFile(QStringLiteral("leer.pem"), "kein Zertifikat\n");
    const CliResult result = Update(server, empty);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("Die Datei aus SSL_CERT_FILE (%1) enthält keine lesbaren "
                                                   "Zertifikate.").arg(empty)))
        << result.err.toStdString();
}

TEST_F(HttpsServer, StatusVerifiesTheServerToo)
{
    HttpTestServer server(certificates_->Server(TestCertificates::Kind::Valid));
    server.Respond(200, kServerList.left(kServerList.indexOf("\n\n") + 2));
    const CliResult refused = Run(server, {QStringLiteral("status")}, {});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.out, QStringLiteral("Keine Daten empfangen!\n"));
    EXPECT_TRUE(refused.err.contains(QStringLiteral("wird nicht als sicher anerkannt"))) << refused.err.toStdString();

    const CliResult trusted = Run(server, {QStringLiteral("status")}, certificates_->AuthorityFile());
    EXPECT_EQ(trusted.exitCode, 0) << trusted.err.toStdString();
    EXPECT_TRUE(trusted.out.contains(QStringLiteral("List-ID: 7d1e-tls"))) << trusted.out.toStdString();
}

} // namespace
} // namespace preisliste::test
