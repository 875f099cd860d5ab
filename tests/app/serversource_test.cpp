#include "windowtest.h"

#include "app/runwindow.h"
#include "support/httptestserver.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace preisliste::test {
namespace {

const QString kSettings = QStringLiteral("[Options]\nDB Path=/srv/telvoro\nMwSt=19\nProviderAccountUserId=4711\n");

const QByteArray kHeader = "#kvtpricelist\nList-ID: {A1}\nList-Sequence: 12\nEffective: 01.03.2011 00:00\n\n";

// The window asking a real HTTP server on 127.0.0.1 for the status.
class WindowServerStatus : public testing::Test {
protected:
    std::unique_ptr<WindowDriver> Open(const QString &settings = kSettings)
    {
        return std::make_unique<WindowDriver>(settings, ServerDownloadStatus(GermanLocale()));
    }

    HttpTestServer server_;
    QTemporaryDir tempDir_;
    ScopedEnvironment tmpdir_{"TMPDIR", tempDir_.path()};
    ScopedEnvironment address_{"PREISLISTE_SERVER", server_.Address()};
};

TEST_F(WindowServerStatus, ShowsTheListDateInGerman)
{
    server_.Respond(200, kHeader + "0043;Österreich;0,02\n");
    const auto window = Open();
    EXPECT_EQ(window->Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 01 März 2011 00:00 Uhr"));
    ASSERT_EQ(server_.RequestLines().size(), 1);
    EXPECT_TRUE(server_.RequestLines().constFirst().contains(QStringLiteral("custid=4711")));
    EXPECT_TRUE(server_.RequestLines().constFirst().contains(QStringLiteral("head=1")));
}

TEST_F(WindowServerStatus, AHeaderWithoutEffectiveDateShowsTheZeroDate)
{
    server_.Respond(200, "#kvtpricelist\nList-ID: {A1}\n\n");
    const auto window = Open();
    EXPECT_EQ(window->Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 30 Dezember 1899 00:00 Uhr"));
}

TEST_F(WindowServerStatus, NoListMeansNoDataReceived)
{
    for (const auto &[status, body] : {std::pair{404, QByteArray("nicht gefunden")},
                                       std::pair{200, QByteArray("<html>Wartung</html>")}}) {
        SCOPED_TRACE(status);
        server_.Respond(status, body);
        const auto window = Open();
        EXPECT_EQ(window->Text(QStringLiteral("lblDownloadDate")), QStringLiteral("Keine Daten empfangen!"));
    }
}

TEST(WindowServerStatusOffline, AServerThatCannotBeReachedMeansNoDataReceived)
{
    ScopedEnvironment address("PREISLISTE_SERVER", QStringLiteral("http://127.0.0.1:%1").arg(UnusedPort()));
    WindowDriver window(kSettings, ServerDownloadStatus(GermanLocale()));
    EXPECT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("Keine Daten empfangen!"));
}

TEST_F(WindowServerStatus, EveryChangeOfTheSourceAndOfTheIdAsksAgain)
{
    server_.Respond(200, kHeader);
    const auto window = Open(QStringLiteral("[Options]\nDB Path=/srv\nMwSt=19\n"));
    // No customer in the settings: asked all the same, with an empty ID.
    ASSERT_EQ(server_.RequestLines().size(), 1);
    EXPECT_TRUE(server_.RequestLines().constFirst().contains(QStringLiteral("custid=&head=1")));

    window->TypeInto(QStringLiteral("txtKdId"), QStringLiteral(" 0815 "));
    window->PressKey(QStringLiteral("txtKdId"), Qt::Key_Tab);
    window->SettleStatus();
    ASSERT_EQ(server_.RequestLines().size(), 2);
    EXPECT_TRUE(server_.RequestLines().last().contains(QStringLiteral("custid=0815&head=1")));

    window->Click(QStringLiteral("chkPriceDownload"));
    window->SettleStatus();
    window->Click(QStringLiteral("chkImport"));
    window->SettleStatus();
    EXPECT_EQ(server_.RequestLines().size(), 4);
    EXPECT_EQ(window->Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 01 März 2011 00:00 Uhr"));
}

TEST_F(WindowServerStatus, AServerThatDoesNotAnswerLeavesTheWindowUsable)
{
    server_.Respond(200, kHeader);
    const auto window = Open();
    server_.NeverAnswer();
    window->TypeInto(QStringLiteral("txtKdId"), QStringLiteral("0815"));
    window->PressKey(QStringLiteral("txtKdId"), Qt::Key_Tab);
    ASSERT_TRUE(WaitUntil([&] { return server_.RequestLines().size() == 2; }));
    window->Click(QStringLiteral("chkMinRate"));
    window->Enter(QStringLiteral("txtMarkup"), QStringLiteral("70"));
    EXPECT_TRUE(window->Checked(QStringLiteral("chkMinRate")));
    EXPECT_EQ(window->Text(QStringLiteral("txtMargin")), QStringLiteral("41,2%"));
    EXPECT_EQ(window->Form().PendingStatusRequests(), 1);
    EXPECT_EQ(window->Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 01 März 2011 00:00 Uhr"))
        << "the label keeps its text until the answer";

    // Closing the window drops the connection instead of sitting out the
    // time-out of 30 seconds.
    window->Click(QStringLiteral("cmdClose"));
    EXPECT_EQ(window->Form().PendingStatusRequests(), 0);
    EXPECT_TRUE(WaitUntil([&] { return server_.AbandonedRequests() == 1; }, 5000));
}

TEST_F(WindowServerStatus, ANewerRequestReplacesOneTheServerLeavesWaiting)
{
    server_.Respond(200, kHeader);
    const auto window = Open();
    server_.NeverAnswer();
    window->Enter(QStringLiteral("txtKdId"), QStringLiteral("0815"));
    ASSERT_TRUE(WaitUntil([&] { return server_.RequestLines().size() == 2; }));

    server_.Respond(200, "#kvtpricelist\nEffective: 24.12.2012 13:05\n\n");
    window->Enter(QStringLiteral("txtKdId"), QStringLiteral("0816"));
    window->SettleStatus();
    EXPECT_EQ(window->Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 24 Dezember 2012 13:05 Uhr"));
    EXPECT_TRUE(WaitUntil([&] { return server_.AbandonedRequests() == 1; }, 5000))
        << "the older request's connection is closed";
}

} // namespace
} // namespace preisliste::test
