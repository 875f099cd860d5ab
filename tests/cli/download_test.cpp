#include "support/httptestserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace preisliste::test {
namespace {

const QByteArray kList = "#kvtpricelist\n"
                         "List-ID: 7d1e-cli\n"
                         "List-Sequence: 42\n"
                         "Effective: 01.03.2011 00:00\n"
                         "\n"
                         "0049;Deutschland Festnetz;0,0125\n"
                         "0043;Österreich;0,02\n"
                         "004930;Berlin;0,011\n";

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// The command line as the operator calls it, against the test's server, with
// a temporary folder of its own and the C locale (which means German).
class CliDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        tariff_.AddNumber(QStringLiteral("0049"), QStringLiteral("Deutschland Festnetz"), 0.05, 0.01);
        tariff_.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.03);
        settings_ = WriteSettings(tariff_);
    }

    static QString WriteSettings(const TempTariff &tariff)
    {
        return tariff.WriteFile(QStringLiteral("Telvoro.ini"),
                                "[Options]\nDB Path=" + tariff.FilePath(QString()).toUtf8()
                                    + "\nProviderAccountUserId=K-7\nRatingDefaultMargin=60\n"
                                      "MinimumRatePerMinute=0.1\nMwSt=19\n");
    }

    CliResult Run(const QStringList &arguments, const QString &server = {}) const
    {
        const QString binary = qEnvironmentVariable("PREISLISTE_BINARY");
        EXPECT_FALSE(binary.isEmpty()) << "PREISLISTE_BINARY is not set";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PREISLISTE_SERVER"), server.isEmpty() ? server_.Address() : server);
        environment.insert(QStringLiteral("TMPDIR"), tempDir_.path());
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.remove(QStringLiteral("TELVORO_SETTINGS"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(binary, arguments);
        EXPECT_TRUE(process.waitForFinished(60000)) << "preisliste did not finish";
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QStringList TempFiles() const { return QDir(tempDir_.path()).entryList(QDir::Files | QDir::Hidden); }

    HttpTestServer server_;
    QTemporaryDir tempDir_;
    TempTariff tariff_;
    QString settings_;
};

TEST_F(CliDownload, UpdateWithDownloadRebuildsTheTariffLikeTheSameFile)
{
    TempTariff fromFile;
    fromFile.AddNumber(QStringLiteral("0049"), QStringLiteral("Deutschland Festnetz"), 0.05, 0.01);
    fromFile.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.03);
    const QString before = tariff_.Snapshot();
    ASSERT_EQ(fromFile.Snapshot(), before);

    const CliResult local = Run({QStringLiteral("update"), QStringLiteral("--file"),
                                 fromFile.WriteFile(QStringLiteral("liste.txt"), kList), QStringLiteral("--db"),
                                 fromFile.Path(), QStringLiteral("--settings"), WriteSettings(fromFile),
                                 QStringLiteral("--max-removed"), QStringLiteral("100")});
    ASSERT_EQ(local.exitCode, 0) << local.err.toStdString();

    server_.Respond(200, kList);
    const CliResult downloaded = Run({QStringLiteral("update"), QStringLiteral("--download"),
                                      QStringLiteral("--customer-id"), QStringLiteral("X 1"), QStringLiteral("--db"),
                                      tariff_.Path(), QStringLiteral("--settings"), settings_,
                                      QStringLiteral("--max-removed"), QStringLiteral("100")});
    ASSERT_EQ(downloaded.exitCode, 0) << downloaded.err.toStdString();

    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=X%201&head=0 HTTP/1.1")});
    EXPECT_NE(tariff_.Snapshot(), before);
    EXPECT_EQ(tariff_.Snapshot(), fromFile.Snapshot());
    // Both runs name their own backup; the rest of the output is the same.
    const auto withoutBackupLine = [](const QString &out) { return out.section(QStringLiteral("Sicherung des"), 0, 0); };
    EXPECT_EQ(withoutBackupLine(downloaded.out), withoutBackupLine(local.out));
    EXPECT_TRUE(downloaded.out.contains(QStringLiteral("Fertig!")));
    EXPECT_EQ(downloaded.err, local.err);
    EXPECT_EQ(TempFiles().size(), 1); // the downloaded list is kept
}

TEST_F(CliDownload, CustomerIdComesFromTheSettingsByDefault)
{
    server_.Respond(200, kList);
    const CliResult result = Run({QStringLiteral("update"), QStringLiteral("--download"), QStringLiteral("--settings"),
                                  settings_, QStringLiteral("--max-removed"), QStringLiteral("100")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=K-7&head=0 HTTP/1.1")});
}

struct FailureCase {
    const char *name;
    int status; // 0: nothing listens on the server's port
    QByteArray body;
    const char *reason;
};

void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }

class CliFailedDownload : public CliDownload, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFailedDownload, EndsWithExit1AndOneLineSayingWhy)
{
    const FailureCase &c = GetParam();
    server_.Respond(c.status, c.body);
    const QString server = c.status == 0 ? QStringLiteral("http://127.0.0.1:%1").arg(UnusedPort()) : QString();
    const QString before = tariff_.Snapshot();

    const CliResult result = Run({QStringLiteral("update"), QStringLiteral("--download"),
                                  QStringLiteral("--customer-id"), QStringLiteral("X1"), QStringLiteral("--settings"),
                                  settings_},
                                 server);
    EXPECT_EQ(result.exitCode, 1);
    const QStringList lines = result.err.trimmed().split(u'\n');
    ASSERT_EQ(lines.size(), 1) << result.err.toStdString();
    EXPECT_TRUE(lines.constFirst().contains(QString::fromUtf8(c.reason))) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("Fertig!")));
    EXPECT_EQ(tariff_.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliFailedDownload,
    ::testing::Values(FailureCase{"NoListForCustomer", 404, "Not Found", "keine Preisliste für die Kunden-ID „X1“"},
                      FailureCase{"NotAPriceList", 200, "Kunde unbekannt", "keine Preisliste für die Kunden-ID „X1“"},
                      FailureCase{"NoDataLines", 200, "#kvtpricelist\nList-ID: a\n\n", "keine Preiszeilen"},
                      FailureCase{"ServerNotReachable", 0, {}, "nicht erreichbar"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CliDownload, DownloadOptionsAreCheckedBeforeAnything)
{
    const QString before = tariff_.Snapshot();
    const CliResult both = Run({QStringLiteral("update"), QStringLiteral("--download"), QStringLiteral("--file"),
                                QStringLiteral("liste.csv"), QStringLiteral("--settings"), settings_});
    EXPECT_EQ(both.exitCode, 2);
    const CliResult idAlone = Run({QStringLiteral("update"), QStringLiteral("--customer-id"), QStringLiteral("X1"),
                                   QStringLiteral("--settings"), settings_});
    EXPECT_EQ(idAlone.exitCode, 2);
    EXPECT_TRUE(server_.RequestLines().isEmpty());
    EXPECT_EQ(tariff_.Snapshot(), before);
}

TEST_F(CliDownload, StatusShowsDateIdAndSequenceOfTheList)
{
    server_.Respond(200, "#kvtpricelist\r\nList-ID: 7d1e-cli\r\nList-Sequence: 42\r\nEffective: 01.03.2011\r\n\r\n");
    const CliResult result = Run({QStringLiteral("status"), QStringLiteral("--customer-id"), QStringLiteral("X1")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("vom 01 März 2011 00:00 Uhr\nList-ID: 7d1e-cli\nList-Sequence: 42\n"));
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=X1&head=1 HTTP/1.1")});
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(CliDownload, StatusWithoutListEndsWith1)
{
    server_.Respond(404, "Not Found");
    const CliResult result = Run({QStringLiteral("status"), QStringLiteral("--settings"), settings_});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, QStringLiteral("Keine Daten empfangen!\n"));
    EXPECT_TRUE(result.err.contains(QStringLiteral("„K-7“"))) << result.err.toStdString();
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=K-7&head=1 HTTP/1.1")});
}

} // namespace
} // namespace preisliste::test
