#include "pricelist/downloadstatus.h"

#include "pricelist/downloadlist.h"
#include "support/httptestserver.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
        TextCase{"WithoutEffectiveLine", ListFrom(CDownloadList::ZeroDate()), kGerman,
                 QStringLiteral("vom 30 Dezember 1899 00:00 Uhr")},
        TextCase{"EnglishMonthName", ListFrom(QDateTime(QDate(2011, 3, 1), QTime(0, 0))),
                 QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("vom 01 March 2011 00:00 Uhr")},
        TextCase{"NoList", DownloadStatus{}, kGerman, QStringLiteral("Keine Daten empfangen!")}),
    [](const auto &info) { return std::string(info.param.name); });

class DownloadStatusRequest : public ::testing::Test {
protected:
    HttpTestServer server_;
    QTemporaryDir tempDir_;
    ScopedEnvironment tmpdir_{"TMPDIR", tempDir_.path()};
    ScopedEnvironment address_{"PREISLISTE_SERVER", server_.Address()};
};

TEST_F(DownloadStatusRequest, ReadsTheHeaderForTheTrimmedIdAndLeavesNoFile)
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

TEST_F(DownloadStatusRequest, NoListGivesAReason)
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

} // namespace
} // namespace preisliste::test
