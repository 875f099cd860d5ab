#include "windowtest.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

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

// A server that answers only when the test lets it, request by request.
class GatedStatus {
public:
    class Request final : public StatusRequest {
    public:
        Request(GatedStatus &server, QString customerId) : server_(server), customerId_(std::move(customerId)) {}
        ~Request() override
        {
            if (!answered_)
                ++server_.abandoned;
        }
        void Answer()
        {
            answered_ = true;
            Q_EMIT answered(QStringLiteral("vom ") + customerId_);
        }

    private:
        GatedStatus &server_;
        QString customerId_;
        bool answered_ = false;
    };

    DownloadStatusProvider Provider()
    {
        return [this](const QString &customerId) {
            auto request = std::make_unique<Request>(*this, customerId);
            sent << request.get();
            if (answerAtOnce > 0) {
                --answerAtOnce;
                QTimer::singleShot(0, request.get(), &Request::Answer);
            }
            return request;
        };
    }
    // Answers the request sent as number `index` (0 first), if the window
    // still holds it.
    void Answer(qsizetype index)
    {
        if (Request *request = sent.value(index))
            request->Answer();
        QCoreApplication::processEvents();
    }

    int answerAtOnce = 0;
    QList<QPointer<Request>> sent;
    int abandoned = 0;
};

TEST(WindowSource, TheWindowStaysUsableWhileTheServerIsAskedAndShowsTheNewestAnswer)
{
    GatedStatus server;
    server.answerAtOnce = 1; // the start-up request
    WindowDriver window(kSettings, server.Provider());
    ASSERT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 4711"));

    window.Enter(QStringLiteral("txtKdId"), QStringLiteral("1"));
    ASSERT_EQ(server.sent.size(), 2);
    // The answer is outstanding, and the window still takes clicks.
    window.Click(QStringLiteral("chkMinRate"));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkMinRate")));
    EXPECT_EQ(window.Form().PendingStatusRequests(), 1);

    // A newer request replaces the outstanding one, which is cancelled.
    window.Enter(QStringLiteral("txtKdId"), QStringLiteral("2"));
    ASSERT_EQ(server.sent.size(), 3);
    EXPECT_EQ(server.abandoned, 1);
    server.Answer(1);
    EXPECT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 4711"))
        << "an older answer before the newest one";
    server.Answer(2);
    EXPECT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 2"));
    EXPECT_EQ(window.Form().PendingStatusRequests(), 0);
    server.Answer(1);
    EXPECT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("vom 2"))
        << "an older answer after the newest one";
}

TEST(WindowSource, ClosingTheWindowCancelsTheRequestUnderWay)
{
    for (const bool closedByOperator : {true, false}) {
        SCOPED_TRACE(closedByOperator ? "closed" : "destroyed");
        GatedStatus server;
        server.answerAtOnce = 1;
        auto window = std::make_unique<WindowDriver>(kSettings, server.Provider());
        window->Enter(QStringLiteral("txtKdId"), QStringLiteral("1"));
        ASSERT_EQ(server.sent.size(), 2);
        if (closedByOperator) {
            window->Click(QStringLiteral("cmdClose"));
            EXPECT_FALSE(window->Form().isVisible());
            EXPECT_EQ(window->Form().PendingStatusRequests(), 0);
        } else {
            window.reset();
        }
        EXPECT_EQ(server.abandoned, 1);
    }
}

} // namespace
} // namespace preisliste::test
