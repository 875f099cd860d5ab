#include "windowtest.h"

#include <QFileInfo>
#include <QTimer>

namespace preisliste::test {
namespace {

QString SettingsFor(const TempTariff &tariff)
{
    return QStringLiteral("[Options]\nDB Path=%1\nMwSt=19\nProviderAccountUserId=4711\n")
        .arg(QFileInfo(tariff.Path()).absolutePath());
}

QByteArray GeneratedList(int lines)
{
    QByteArray list = "#Vorwahl;Ziel;Preis\n";
    list.reserve(lines * 32);
    for (int i = 0; i < lines; ++i)
        list += "00" + QByteArray::number(100000 + i) + ";Ziel " + QByteArray::number(i) + ";0,0123\n";
    return list;
}

// The window with the local file `list` chosen as the source.
void ChooseLocalFile(WindowDriver &window, const QString &list)
{
    window.Click(QStringLiteral("chkImport"));
    window.Dialogs().nextChosenFile = list;
    window.Click(QStringLiteral("cmdFile"));
    ASSERT_EQ(window.Form().PriceListFile(), list);
}

bool WaitForIdle(WindowDriver &window)
{
    return WaitUntil([&] { return !window.Form().UpdateRunning(); }, 120000);
}

TEST(WindowRun, AWholeRunCommitsAndEndsWithFertig)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(50));
    WindowDriver window(SettingsFor(tariff));
    ChooseLocalFile(window, list);

    window.Click(QStringLiteral("cmdStart"));
    EXPECT_TRUE(window.Form().UpdateRunning());
    EXPECT_EQ(window.Text(QStringLiteral("cmdStart")), QStringLiteral("&Stopp"));
    EXPECT_FALSE(window.Enabled(QStringLiteral("cmdClose")));
    ASSERT_TRUE(WaitForIdle(window));

    EXPECT_EQ(window.Form().LastRunOutcome(), RunOutcome::Committed);
    ASSERT_FALSE(window.Dialogs().messages.isEmpty());
    const RecordedMessage &last = window.Dialogs().messages.last();
    EXPECT_EQ(last.text, QStringLiteral("Fertig!"));
    EXPECT_EQ(last.icon, MessageIcon::Information);
    EXPECT_EQ(last.title, kProgramTitle);
    EXPECT_EQ(window.Find<QProgressBar>(QStringLiteral("ProgressBar1"))->value(), 100);
    EXPECT_EQ(window.Text(QStringLiteral("cmdStart")), QStringLiteral("&Start"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("cmdClose")));
    EXPECT_EQ(window.Form().PriceListFile(), list);
}

TEST(WindowRun, MessagesOfTheRunAppearOneAfterTheOtherWhileTheRunWaits)
{
    TempTariff tariff;
    WindowDriver window(SettingsFor(tariff));
    ChooseLocalFile(window, tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(10)));
    // While the box is open the run is still under way: it waits for the box.
    bool runningWhileShown = false;
    window.Dialogs().onMessage = [&] { runningWhileShown = window.Form().UpdateRunning(); };
    window.Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(window));
    EXPECT_TRUE(runningWhileShown);
}

TEST(WindowRun, StopInTheMiddleOfABigListLeavesTheTariffUnchanged)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    tariff.AddNumber(QStringLiteral("004930"), QStringLiteral("Deutschland Berlin"), 0.05, 0.01);
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(100000));
    const QString before = tariff.Snapshot();
    WindowDriver window(SettingsFor(tariff));
    ChooseLocalFile(window, list);

    // The window keeps handling its events during the run: a timer on the
    // window's thread sees the bar move, and presses "Stopp" once it has.
    QSet<int> valuesSeen;
    auto *bar = window.Find<QProgressBar>(QStringLiteral("ProgressBar1"));
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!window.Form().UpdateRunning())
            return;
        valuesSeen.insert(bar->value());
        if (valuesSeen.size() >= 3 && window.Text(QStringLiteral("cmdStart")) == QStringLiteral("&Stopp")) {
            window.Click(QStringLiteral("cmdStart"));
            watcher.stop();
        }
    });
    window.Click(QStringLiteral("cmdStart"));
    watcher.start();
    ASSERT_TRUE(WaitForIdle(window));

    EXPECT_GE(valuesSeen.size(), 3u) << "the bar moved while the run went on";
    EXPECT_EQ(window.Form().LastRunOutcome(), RunOutcome::Stopped);
    EXPECT_FALSE(window.Dialogs().Texts().contains(QStringLiteral("Fertig!")));
    EXPECT_EQ(tariff.Snapshot(), before);
    EXPECT_EQ(window.Text(QStringLiteral("cmdStart")), QStringLiteral("&Start"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("cmdClose")));

    // The next run starts without the stop.
    tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(20));
    window.Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(window));
    EXPECT_EQ(window.Form().LastRunOutcome(), RunOutcome::Committed);
}

TEST(WindowRun, CloseButtonDoesNothingDuringARunAndTheCloseBoxStopsItFirst)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(100000));
    const QString before = tariff.Snapshot();
    WindowDriver window(SettingsFor(tariff));
    ChooseLocalFile(window, list);

    window.Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(window.Form().UpdateRunning());
    window.Click(QStringLiteral("cmdClose"));
    EXPECT_TRUE(window.Form().isVisible());

    EXPECT_FALSE(window.Form().close()) << "the window waits for the run";
    EXPECT_TRUE(window.Form().isVisible());
    ASSERT_TRUE(WaitForIdle(window));
    EXPECT_FALSE(window.Form().isVisible()) << "and closes once it has been rolled back";
    EXPECT_EQ(window.Form().LastRunOutcome(), RunOutcome::Stopped);
    EXPECT_EQ(tariff.Snapshot(), before);
    EXPECT_TRUE(window.Dialogs().messages.isEmpty());
}

TEST(WindowRun, ADatabaseThatCannotBeOpenedIsReportedAndTheWindowReturnsToIdle)
{
    TempTariff tariff;
    WindowDriver window(QStringLiteral("[Options]\nDB Path=%1/fehlt\nMwSt=19\n")
                            .arg(QFileInfo(tariff.Path()).absolutePath()));
    window.Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(window));
    EXPECT_EQ(window.Form().LastRunOutcome(), RunOutcome::Failed);
    ASSERT_EQ(window.Dialogs().messages.size(), 1);
    EXPECT_EQ(window.Dialogs().messages.constFirst().icon, MessageIcon::Error);
    EXPECT_TRUE(window.Dialogs().messages.constFirst().text.contains(QStringLiteral("fehlt")));
    EXPECT_EQ(window.Text(QStringLiteral("cmdStart")), QStringLiteral("&Start"));
}

TEST(WindowRun, DestroyingTheWindowDuringARunStopsAndWaitsForIt)
{
    TempTariff tariff;
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(100000));
    const QString before = tariff.Snapshot();
    {
        WindowDriver window(SettingsFor(tariff));
        ChooseLocalFile(window, list);
        window.Click(QStringLiteral("cmdStart"));
        ASSERT_TRUE(WaitUntil([&] { return window.Find<QProgressBar>(QStringLiteral("ProgressBar1"))->value() > 0; }));
    }
    EXPECT_EQ(tariff.Snapshot(), before);
}

} // namespace
} // namespace preisliste::test
