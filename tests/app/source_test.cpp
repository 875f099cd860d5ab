#include "windowtest.h"

#include <QSemaphore>

#include <atomic>

namespace preisliste::test {
namespace {

const QString kSettings = QStringLiteral("[Options]\nDB Path=/srv/telvoro\nMwSt=19\nProviderAccountUserId=4711\n");

TEST(WindowSource, UncheckingTheDownloadSelectsTheFileAndStillAsksForTheStatus)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkPriceDownload"));
    window.SettleStatus();
    EXPECT_FALSE(window.Checked(QStringLiteral("chkPriceDownload")));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkImport")));
    EXPECT_FALSE(window.Form().PriceDownloadEnabled());
    EXPECT_TRUE(window.Form().ImportFileEnabled());
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtKdId")));
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtFileName")));
    EXPECT_TRUE(window.Enabled(QStringLiteral("cmdFile")));
    EXPECT_EQ(window.Status().Requests(), (QStringList{QStringLiteral("4711"), QStringLiteral("4711")}));
}

TEST(WindowSource, UncheckingTheFileSelectsTheDownloadAgain)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkImport"));
    window.Click(QStringLiteral("chkImport"));
    window.SettleStatus();
    EXPECT_TRUE(window.Checked(QStringLiteral("chkPriceDownload")));
    EXPECT_FALSE(window.Checked(QStringLiteral("chkImport")));
    EXPECT_TRUE(window.Form().PriceDownloadEnabled());
    EXPECT_FALSE(window.Form().ImportFileEnabled());
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtKdId")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("cmdFile")));
    EXPECT_EQ(window.Status().Requests().size(), 3) << "one request per change of the source";
}

TEST(WindowSource, TheCustomerIdIsTrimmedWhenTheFieldIsLeft)
{
    WindowDriver window(kSettings);
    window.TypeInto(QStringLiteral("txtKdId"), QStringLiteral("  0815  "));
    EXPECT_EQ(window.Status().Requests().size(), 1) << "not before the field is left";
    window.Click(QStringLiteral("txtMarkup"));
    window.SettleStatus();
    EXPECT_EQ(window.Text(QStringLiteral("txtKdId")), QStringLiteral("0815"));
    EXPECT_EQ(window.Form().CustomerId(), QStringLiteral("0815"));
    EXPECT_EQ(window.Status().Requests().last(), QStringLiteral("0815"));
    EXPECT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("Status 0815"));
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtMarkup")));
}

// A server that answers only when the test lets it.
class GatedStatus {
public:
    DownloadStatusProvider Provider()
    {
        return [this](const QString &customerId, const ProgressSink &stop) {
            ++waiting;
            while (!gate.tryAcquire(1, 10)) {
                if (stop.StopRequested()) {
                    ++abandoned;
                    return QString();
                }
            }
            return QStringLiteral("vom ") + customerId;
        };
    }
    QSemaphore gate;
    std::atomic<int> waiting{0};
    std::atomic<int> abandoned{0};
};

TEST(WindowSource, TheWindowStaysUsableWhileTheServerIsAskedAndShowsTheNewestAnswer)
{
    GatedStatus server;
    server.gate.release(1); // the start-up request
    WindowDriver window(kSettings, server.Provider());
    ASSERT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 4711"));

    window.TypeInto(QStringLiteral("txtKdId"), QStringLiteral("1"));
    window.PressKey(QStringLiteral("txtKdId"), Qt::Key_Tab);
    ASSERT_TRUE(WaitUntil([&] { return server.waiting == 2; }));
    // The answer is outstanding, and the window still takes clicks.
    window.Click(QStringLiteral("chkMinRate"));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkMinRate")));
    EXPECT_EQ(window.Form().PendingStatusRequests(), 1);

    // A newer request replaces the outstanding one, whose answer is dropped.
    window.TypeInto(QStringLiteral("txtKdId"), QStringLiteral("2"));
    window.PressKey(QStringLiteral("txtKdId"), Qt::Key_Tab);
    ASSERT_TRUE(WaitUntil([&] { return server.abandoned == 1; }));
    server.gate.release(1);
    window.SettleStatus();
    EXPECT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 2"));
}

TEST(WindowSource, ClosingTheWindowDoesNotWaitForTheServer)
{
    GatedStatus server;
    server.gate.release(1);
    auto window = std::make_unique<WindowDriver>(kSettings, server.Provider());
    window->TypeInto(QStringLiteral("txtKdId"), QStringLiteral("1"));
    window->PressKey(QStringLiteral("txtKdId"), Qt::Key_Tab);
    ASSERT_TRUE(WaitUntil([&] { return server.waiting == 2; }));
    window.reset(); // the outstanding request is told to stop, and is waited for
    EXPECT_EQ(server.abandoned, 1);
}

} // namespace
} // namespace preisliste::test
