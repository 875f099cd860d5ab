#include "run/updaterun.h"

#include "common/telvorosettings.h"
#include "support/httptestserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace preisliste::test {
namespace {

using namespace std::chrono_literals;

const QByteArray kList = "#kvtpricelist\n"
                         "List-ID: run-list\n"
                         "List-Sequence: 5\n"
                         "Effective: 01.03.2011\n"
                         "\n"
                         "0049;Deutschland Festnetz;0,0125\n"
                         "0043;Österreich;0,02\n"
                         "00491;Deutschland Mobil;0,09\n";

class DownloadRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        tariff_.AddNumber(QStringLiteral("0049"), QStringLiteral("Deutschland Festnetz"), 0.05, 0.01);
        tariff_.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.03);
    }

    RunRequest Request(PriceListSource source, const QString &customerId = QStringLiteral("K1")) const
    {
        RunRequest request{.databaseFile = tariff_.Path(),
                           .priceListFile = tariff_.FilePath(QStringLiteral("preise.csv")),
                           .source = source,
                           .customerId = customerId,
                           .rule = PricingRule(TelvoroSettings())};
        request.maxRemovedPercent = 100; // the small list replaces most of the tariff
        return request;
    }

    HttpTestServer server_;
    QTemporaryDir tempDir_;
    ScopedEnvironment tmpdir_{"TMPDIR", tempDir_.path()};
    ScopedEnvironment address_{"PREISLISTE_SERVER", server_.Address()};
    TempTariff tariff_;
    RecordingMessages messages_;
    ScriptedProgress progress_;
};

TEST_F(DownloadRun, DownloadedListIsImportedLikeTheSameLocalFile)
{
    TempTariff fromFile;
    fromFile.AddNumber(QStringLiteral("0049"), QStringLiteral("Deutschland Festnetz"), 0.05, 0.01);
    fromFile.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.03);
    ASSERT_EQ(fromFile.Snapshot(), tariff_.Snapshot());
    const QString before = tariff_.Snapshot();

    RunRequest local = Request(PriceListSource::LocalFile);
    local.databaseFile = fromFile.Path();
    local.priceListFile = fromFile.WriteFile(QStringLiteral("liste.txt"), kList);
    RecordingMessages localMessages;
    ScriptedProgress localProgress;
    ASSERT_EQ(RunUpdate(local, localProgress, localMessages), RunOutcome::Committed);

    server_.Respond(200, kList);
    RunReport report{.downloadFailure = QStringLiteral("unverändert"), .backupPath = {}};
    ASSERT_EQ(RunUpdate(Request(PriceListSource::Download, QStringLiteral("  K1 ")), progress_, messages_, &report),
              RunOutcome::Committed)
        << messages_.Texts().join(u'\n').toStdString();

    EXPECT_TRUE(report.downloadFailure.isEmpty());
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=K1&head=0 HTTP/1.1")});
    EXPECT_NE(tariff_.Snapshot(), before);
    EXPECT_EQ(tariff_.Snapshot(), fromFile.Snapshot());
    EXPECT_EQ(messages_.Texts(), localMessages.Texts());
    // The downloaded list stays in the temporary folder.
    EXPECT_EQ(QDir(tempDir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

struct FailureCase {
    const char *name;
    int status; // 0: the server never answers
    QByteArray body;
    const char *reason;
};

void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.name; }

class FailedDownload : public DownloadRun, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedDownload, RollsBackSilentlyAndTellsWhy)
{
    const FailureCase &c = GetParam();
    if (c.status == 0)
        server_.NeverAnswer();
    else
        server_.Respond(c.status, c.body);
    const QString before = tariff_.Snapshot();
    RunRequest request = Request(PriceListSource::Download);
    request.downloadLimits.timeout = 300ms;

    RunReport report;
    EXPECT_EQ(RunUpdate(request, progress_, messages_, &report), RunOutcome::Failed);
    EXPECT_TRUE(messages_.messages.isEmpty()) << messages_.Texts().join(u'\n').toStdString();
    EXPECT_TRUE(report.downloadFailure.contains(QString::fromUtf8(c.reason))) << report.downloadFailure.toStdString();
    EXPECT_EQ(tariff_.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Run, FailedDownload,
    ::testing::Values(FailureCase{"NoListForCustomer", 404, "Not Found", "keine Preisliste für die Kunden-ID „K1“"},
                      FailureCase{"ServerError", 500, "Fehler", "HTTP-Status 500"},
                      FailureCase{"ErrorPage", 200, "<html>Unbekannter Kunde</html>", "#kvtpricelist"},
                      FailureCase{"HeaderOnly", 200, "#kvtpricelist\nList-ID: x\n\n", "enthält keine Preiszeilen"},
                      // Without a line end there is no line, for the import and the check alike.
                      FailureCase{"MarkerWithoutLineEnd", 200, "#kvtpricelist", "#kvtpricelist"},
                      FailureCase{"BadEffective", 200, "#kvtpricelist\nEffective: bald\n\n49;X;0,1\n", "kein Datum"},
                      FailureCase{"NeverAnswers", 0, {}, "Zeitüberschreitung"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DownloadRun, UnreachableServerRollsBack)
{
    const ScopedEnvironment refused("PREISLISTE_SERVER", QStringLiteral("http://127.0.0.1:%1").arg(UnusedPort()));
    const QString before = tariff_.Snapshot();
    RunReport report;
    EXPECT_EQ(RunUpdate(Request(PriceListSource::Download), progress_, messages_, &report), RunOutcome::Failed);
    EXPECT_TRUE(report.downloadFailure.contains(QStringLiteral("nicht erreichbar"))) << report.downloadFailure.toStdString();
    EXPECT_TRUE(messages_.messages.isEmpty());
    EXPECT_EQ(tariff_.Snapshot(), before);

    // The window passes no reason text; the run still rolls back.
    EXPECT_EQ(RunUpdate(Request(PriceListSource::Download), progress_, messages_), RunOutcome::Failed);
    EXPECT_EQ(tariff_.Snapshot(), before);
}

TEST_F(DownloadRun, StopWhileWaitingForTheServerRollsBack)
{
    server_.NeverAnswer();
    const QString before = tariff_.Snapshot();
    StopSwitch stop;
    QTimer::singleShot(200ms, [&stop] { stop.RequestStop(); });
    RunRequest request = Request(PriceListSource::Download);
    request.downloadLimits.timeout = 60s;

    EXPECT_EQ(RunUpdate(request, stop, messages_), RunOutcome::Stopped);
    EXPECT_TRUE(messages_.messages.isEmpty());
    EXPECT_EQ(tariff_.Snapshot(), before);
}

// While the run waits for the server, Telvoro must still be able to write:
// the run takes its write lock only once the list is there.
TEST_F(DownloadRun, WaitingForTheServerLocksNothing)
{
    server_.NeverAnswer();
    bool otherProgramWrote = false;
    QTimer::singleShot(200ms, [&] {
        sqlite3 *other = nullptr;
        sqlite3_open(tariff_.Path().toUtf8().constData(), &other);
        otherProgramWrote = sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE Numbers SET GraceTime = 1; COMMIT;",
                                         nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(other);
    });
    RunRequest request = Request(PriceListSource::Download);
    request.downloadLimits.timeout = 600ms;
    EXPECT_EQ(RunUpdate(request, progress_, messages_), RunOutcome::Failed);
    EXPECT_TRUE(otherProgramWrote);
    EXPECT_EQ(tariff_.Rows(QStringLiteral("SELECT DISTINCT GraceTime FROM Numbers")), QStringList{"1"});
}

} // namespace
} // namespace preisliste::test
