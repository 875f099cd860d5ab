#include "pricelist/downloadstatus.h"

#include "pricelist/pricelistdownload.h"
#include "support/httptestserver.h"
#include "support/testcertificates.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace preisliste::test {
namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

struct TextCase {
    const char *name;
    DownloadStatus status;
    QLocale locale;
    QString text;
};

void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }

class StatusText : public ::testing::TestWithParam<TextCase> {};

TEST_P(StatusText, NamesTheListDate)
{
    EXPECT_EQ(DownloadStatusText(GetParam().status, GetParam().locale), GetParam().text);
}

DownloadStatus ListFrom(const QDateTime &effective)
{
    return DownloadStatus{.hasList = true, .effectiveDate = effective, .listId = {}, .sequence = 0,
                          .failureReason = {}};
}

INSTANTIATE_TEST_SUITE_P(
    Download, StatusText,
    ::testing::Values(
        TextCase{"GermanMarch", ListFrom(QDateTime(QDate(2011, 3, 1), QTime(0, 0))), kGerman,
                 QStringLiteral("vom 01 März 2011 00:00 Uhr")},
        TextCase{"AfternoonIn24Hours", ListFrom(QDateTime(QDate(2012, 12, 24), QTime(13, 5))), kGerman,
                 QStringLiteral("vom 24 Dezember 2012 13:05 Uhr")},
        TextCase{"WithoutEffectiveLine", ListFrom(PriceListDownload::ZeroDate()), kGerman,
                 QStringLiteral("vom 30 Dezember 1899 00:00 Uhr")},
        TextCase{"EnglishMonthName", ListFrom(QDateTime(QDate(2011, 3, 1), QTime(0, 0))),
                 QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("vom 01 March 2011 00:00 Uhr")},
        TextCase{"NoList", DownloadStatus{}, kGerman, QStringLiteral("Keine Daten empfangen!")}),
    [](const auto &info) { return std::string(info.param.name); });

class WaitedStatusRequest : public ::testing::Test {
protected:
    HttpTestServer server_;
    QTemporaryDir tempDir_;
    ScopedEnvironment tmpdir_{"TMPDIR", tempDir_.path()};
    ScopedEnvironment address_{"PREISLISTE_SERVER", server_.Address()};
};

TEST_F(WaitedStatusRequest, ReadsTheHeaderForTheTrimmedIdAndLeavesNoFile)
{
    server_.Respond(200, "#kvtpricelist\nList-ID: abc-1\nList-Sequence: 9\nEffective: 01.03.2011 00:00\n\n");
    const DownloadStatus status = RequestDownloadStatus(QStringLiteral("  K 1  "));
    EXPECT_TRUE(status.hasList);
    EXPECT_EQ(status.listId, QStringLiteral("abc-1"));
    EXPECT_EQ(status.sequence, 9);
    EXPECT_EQ(DownloadStatusText(status, kGerman), QStringLiteral("vom 01 März 2011 00:00 Uhr"));
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=K%201&head=1 HTTP/1.1")});
    EXPECT_TRUE(QDir(tempDir_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(WaitedStatusRequest, NoListGivesAReason)
{
    server_.Respond(404, "Not Found");
    const DownloadStatus missing = RequestDownloadStatus(QStringLiteral("K1"));
    EXPECT_FALSE(missing.hasList);
    EXPECT_TRUE(missing.failureReason.contains(QStringLiteral("HTTP-Status 404")));
    EXPECT_EQ(DownloadStatusText(missing, kGerman), QStringLiteral("Keine Daten empfangen!"));

    server_.Respond(200, "#kvtpricelist\nEffective: irgendwann\n\n");
    EXPECT_FALSE(RequestDownloadStatus(QStringLiteral("K1")).hasList);

    const ScopedEnvironment refused("PREISLISTE_SERVER", QStringLiteral("http://127.0.0.1:%1").arg(UnusedPort()));
    const DownloadStatus unreachable = RequestDownloadStatus(QStringLiteral("K1"));
    EXPECT_FALSE(unreachable.hasList);
    EXPECT_TRUE(unreachable.failureReason.contains(QStringLiteral("nicht erreichbar")));
}

// The request that does not wait, as the window uses it.
class AsyncStatusRequest : public WaitedStatusRequest {
protected:
    // Starts the request and runs the event loop until its answer.
    std::optional<DownloadStatus> AnswerTo(const QString &customerId, DownloadLimits limits = {})
    {
        DownloadStatusRequest request(customerId, limits);
        std::optional<DownloadStatus> answer;
        int answers = 0;
        QObject::connect(&request, &DownloadStatusRequest::answered, [&](const DownloadStatus &status) {
            answer = status;
            ++answers;
        });
        EXPECT_FALSE(answer) << "answered before the caller could connect";
        WaitUntil([&] { return answer.has_value(); });
        QCoreApplication::processEvents();
        EXPECT_LE(answers, 1);
        return answer;
    }
};

TEST_F(AsyncStatusRequest, AnswersWithTheHeaderFromTheEventLoop)
{
    server_.Respond(200, "#kvtpricelist\nList-ID: abc-1\nList-Sequence: 9\nEffective: 01.03.2011 00:00\n\n");
    const std::optional<DownloadStatus> status = AnswerTo(QStringLiteral(" K1 "));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->hasList);
    EXPECT_EQ(status->sequence, 9);
    EXPECT_EQ(DownloadStatusText(*status, kGerman), QStringLiteral("vom 01 März 2011 00:00 Uhr"));
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=K1&head=1 HTTP/1.1")});
    EXPECT_TRUE(QDir(tempDir_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(AsyncStatusRequest, EveryFailureIsAnAnswerWithAReason)
{
    server_.Respond(200, "<html>Wartung</html>");
    std::optional<DownloadStatus> status = AnswerTo(QStringLiteral("K1"));
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->hasList);
    EXPECT_TRUE(status->failureReason.contains(kServerFormMarker));

    server_.NeverAnswer();
    status = AnswerTo(QStringLiteral("K1"), DownloadLimits{.timeout = std::chrono::milliseconds(300)});
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->failureReason.contains(QStringLiteral("Zeitüberschreitung")));
    EXPECT_TRUE(WaitUntil([&] { return server_.AbandonedRequests() == 1; }));

    const ScopedEnvironment unusable("PREISLISTE_SERVER", QStringLiteral("ftp://127.0.0.1"));
    status = AnswerTo(QStringLiteral("K1"));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->failureReason.contains(QStringLiteral("ungültig")));
}

// The window's request over https trusts what the command line trusts, the
// authority named in $SSL_CERT_FILE included, and refuses what it refuses.
TEST_F(AsyncStatusRequest, OverHttpsOnlyAVerifiedServerIsAnswered)
{
    const TestCertificates certificates;
    ASSERT_TRUE(certificates.Error().isEmpty()) << certificates.Error().toStdString();
    HttpTestServer server(certificates.Server(TestCertificates::Kind::Valid));
    server.Respond(200, "#kvtpricelist\nList-ID: abc-1\nList-Sequence: 9\n\n");
    const ScopedEnvironment address("PREISLISTE_SERVER", server.Address());
    {
        const ScopedEnvironment untrusted("SSL_CERT_FILE", QString());
        const std::optional<DownloadStatus> refused = AnswerTo(QStringLiteral("K1"));
        ASSERT_TRUE(refused);
        EXPECT_FALSE(refused->hasList);
        EXPECT_TRUE(refused->failureReason.contains(QStringLiteral("keiner Zertifizierungsstelle")))
            << refused->failureReason.toStdString();
    }
    const ScopedEnvironment trusted("SSL_CERT_FILE", certificates.AuthorityFile());
    const std::optional<DownloadStatus> answered = AnswerTo(QStringLiteral("K1"));
    ASSERT_TRUE(answered);
    EXPECT_TRUE(answered->hasList) << answered->failureReason.toStdString();
    EXPECT_EQ(answered->sequence, 9);
}

TEST_F(AsyncStatusRequest, DeletingItClosesTheConnectionAndAnswersNothing)
{
    server_.NeverAnswer();
    bool answered = false;
    {
        DownloadStatusRequest request(QStringLiteral("K1"));
        QObject::connect(&request, &DownloadStatusRequest::answered, [&] { answered = true; });
        ASSERT_TRUE(WaitUntil([&] { return server_.RequestLines().size() == 1; }));
    }
    EXPECT_TRUE(WaitUntil([&] { return server_.AbandonedRequests() == 1; }, 5000));
    EXPECT_FALSE(answered);
}

} // namespace
} // namespace preisliste::test
