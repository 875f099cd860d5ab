#include "app/windowsinks.h"

#include "windowtest.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>

namespace preisliste::test {
namespace {

TEST(WindowProgressSink, PostsOnlyChangesAndTheWindowSeesTheLatestValues)
{
    QObject receiver;
    QList<std::pair<int, int>> shown;
    WindowProgress progress(&receiver, [&](int overall, int action) { shown.append({overall, action}); });
    for (int row = 0; row < 1000; ++row)
        progress.SetProgress(7, 3); // one row after the other, nothing changes
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, (QList<std::pair<int, int>>{{7, 3}}));

    // Changes while a post waits are folded into it; the window gets the last.
    progress.SetProgress(8, 3);
    progress.SetProgress(9, 4);
    progress.SetProgress(10, -1); // -1 leaves the action bar as it is
    QCoreApplication::processEvents();
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(shown.last(), (std::pair{10, 4}));
}

TEST(WindowProgressSink, StopIsAskedForUntilTheNextRun)
{
    QObject receiver;
    WindowProgress progress(&receiver, [](int, int) {});
    EXPECT_FALSE(progress.SetProgress(1, 1));
    progress.RequestStop();
    EXPECT_TRUE(progress.StopRequested());
    EXPECT_TRUE(progress.SetProgress(1, 1));
    progress.Reset();
    EXPECT_FALSE(progress.StopRequested());
    EXPECT_FALSE(progress.SetProgress(2, 2));
}

TEST(WindowMessageSink, AWorkerWaitsForEachBoxAndTheBoxesKeepTheirOrder)
{
    QObject receiver;
    QStringList shown;
    std::atomic<int> returned{0};
    WindowMessages messages(&receiver, [&](MessageIcon, const QString &title, const QString &, const QString &) {
        // While a box is open the worker has not gone on to the next one.
        EXPECT_EQ(returned.load(), int(shown.size()));
        shown << title;
    });
    QThread *worker = QThread::create([&] {
        for (const char *title : {"Update Info", "Neuberechnung", "Preisliste"}) {
            messages.ShowMessage(MessageIcon::Information, QString::fromLatin1(title), QString());
            ++returned;
        }
    });
    worker->start();
    EXPECT_TRUE(WaitUntil([&] { return worker->isFinished(); }));
    worker->wait();
    delete worker;
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Update Info"), QStringLiteral("Neuberechnung"),
                                  QStringLiteral("Preisliste")}));
}

TEST(WindowMessageSink, CancelReleasesAWaitingWorker)
{
    QObject receiver;
    WindowMessages messages(&receiver, [](MessageIcon, const QString &, const QString &, const QString &) {});
    QThread *worker = QThread::create([&] { messages.ShowMessage(MessageIcon::Error, QString(), QString()); });
    worker->start();
    // The window's thread does not take the message; cancelling must free the worker.
    QThread::msleep(20);
    messages.Cancel();
    EXPECT_TRUE(worker->wait(5000));
    delete worker;
    // After cancelling nothing more is shown or waited for.
    messages.ShowMessage(MessageIcon::Error, QString(), QString());
}

} // namespace
} // namespace preisliste::test
