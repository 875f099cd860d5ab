#include "windowtest.h"

#include "app/runwindow.h"
#include "support/httptestserver.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace preisliste::test {
namespace {

QString SettingsFor(const TempTariff &tariff)
{
    return QStringLiteral("[Options]\nDB Path=%1\nMwSt=19\nProviderAccountUserId=4711\n")
        .arg(QFileInfo(tariff.Path()).absolutePath());
}

// A list of `lines` new destinations that also keeps the rows of the
// tariffs here, so that no run removes most of its tariff.
QByteArray GeneratedList(int lines)
{
    QByteArray list = "#Vorwahl;Ziel;Preis\n0043;\xC3\x96sterreich;0,1\n";
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
    EXPECT_EQ(window.Dialogs().Titles(),
              (QStringList{QStringLiteral("Update Info"), QStringLiteral("Neuberechnung"), kProgramTitle}));
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

// Big enough that a run is still going when the window reacts to its first
// progress, even on a busy machine.
constexpr int kBigList = 300000;

TEST(WindowRun, StopInTheMiddleOfABigListLeavesTheTariffUnchanged)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    tariff.AddNumber(QStringLiteral("030"), QStringLiteral("Deutschland Berlin"), 0.05, 0.01);
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(kBigList));
    const QString before = tariff.Snapshot();
    WindowDriver window(SettingsFor(tariff));
    ChooseLocalFile(window, list);

    // A timer on the window's thread watches the bar during the run and
    // presses "Stopp" once the import has visibly begun.
    auto *bar = window.Find<QProgressBar>(QStringLiteral("ProgressBar1"));
    int valueAtStop = -1;
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (window.Form().UpdateRunning() && bar->value() > 0) {
            valueAtStop = bar->value();
            watcher.stop();
            window.Click(QStringLiteral("cmdStart"));
        }
    });
    window.Click(QStringLiteral("cmdStart"));
    watcher.start();
    ASSERT_TRUE(WaitForIdle(window));

    ASSERT_GT(valueAtStop, 0) << "the window showed progress while the run went on";
    EXPECT_EQ(window.Form().LastRunOutcome(), RunOutcome::Stopped);
    EXPECT_LT(bar->value(), 100) << "the stopped run never reached its end";
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
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), GeneratedList(kBigList));
    const QString before = tariff.Snapshot();
    {
        WindowDriver window(SettingsFor(tariff));
        ChooseLocalFile(window, list);
        window.Click(QStringLiteral("cmdStart"));
        ASSERT_TRUE(WaitUntil([&] { return window.Find<QProgressBar>(QStringLiteral("ProgressBar1"))->value() > 0; }));
        ASSERT_TRUE(window.Form().UpdateRunning());
    }
    EXPECT_EQ(tariff.Snapshot(), before);
}

// A tariff of ten rows and a list that keeps only one of them: the update
// would remove nine tenths of the tariff.
class WindowRefusedRun : public testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 10; ++i)
            tariff_.AddNumber(QStringLiteral("00%1").arg(31 + i), QStringLiteral("Ziel %1").arg(i), 0.2, 0.1);
        list_ = tariff_.WriteFile(QStringLiteral("preise.csv"), "#Vorwahl;Ziel;Preis\n0031;Ziel 0;0,1\n");
        before_ = tariff_.Snapshot();
        ChooseLocalFile(window_, list_);
    }

    TempTariff tariff_;
    QString list_;
    QString before_;
    WindowDriver window_{SettingsFor(tariff_)};
};

TEST_F(WindowRefusedRun, NeinLeavesTheTariffExactlyAsItWas)
{
    window_.Dialogs().answerYes = false;
    window_.Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(window_));
    ASSERT_EQ(window_.Dialogs().questions.size(), 1);
    EXPECT_TRUE(window_.Dialogs().questions.constFirst().contains(QStringLiteral("9 von 10 Tarifzeilen")))
        << window_.Dialogs().questions.constFirst().toStdString();
    EXPECT_TRUE(window_.Dialogs().questions.constFirst().endsWith(QStringLiteral("Trotzdem übernehmen?")));
    EXPECT_EQ(window_.Form().LastRunOutcome(), RunOutcome::Refused);
    EXPECT_TRUE(window_.Dialogs().messages.isEmpty()) << window_.Dialogs().Texts().join(u'|').toStdString();
    EXPECT_EQ(tariff_.Snapshot(), before_);
    EXPECT_TRUE(QDir(tariff_.FilePath(QStringLiteral("backups"))).entryList({QStringLiteral("*.mdb")}, QDir::Files).isEmpty());
    EXPECT_EQ(window_.Text(QStringLiteral("cmdStart")), QStringLiteral("&Start"));
}

TEST_F(WindowRefusedRun, JaTakesTheUpdateAndFertigCarriesTheReport)
{
    window_.Dialogs().answerYes = true;
    window_.Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(window_));
    ASSERT_TRUE(WaitUntil([&] { return window_.Form().LastRunOutcome() == RunOutcome::Committed; }));
    ASSERT_TRUE(WaitForIdle(window_));
    EXPECT_EQ(window_.Dialogs().questions.size(), 1);
    EXPECT_EQ(tariff_.Rows(QStringLiteral("SELECT Number FROM Numbers")), QStringList{QStringLiteral("0031")});
    // Only the update that was taken showed its messages.
    EXPECT_EQ(window_.Dialogs().Titles(),
              (QStringList{QStringLiteral("Update Info"), QStringLiteral("Neuberechnung"), kProgramTitle}));
    EXPECT_EQ(window_.Dialogs().Texts().last(), QStringLiteral("Fertig!"));
    const QString details = window_.Dialogs().details.last();
    EXPECT_TRUE(details.contains(QStringLiteral("Entfernte Ziele: 9"))) << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("Der ganze Bericht: ") + tariff_.FilePath(QStringLiteral("backups/"))))
        << details.toStdString();
}

TEST(WindowRun, FertigLeadsItsDetailsWithWhatNeedsALook)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), "#Vorwahl;Ziel;Preis\n0043;\xC3\x96sterreich;0,1\n"
                                                                        "0044;UK;kostenlos\n00800;Freecall;0\n");
    WindowDriver window(SettingsFor(tariff));
    ChooseLocalFile(window, list);
    window.Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(window));
    ASSERT_EQ(window.Form().LastRunOutcome(), RunOutcome::Committed);
    const QStringList details = window.Dialogs().details.last().split(u'\n');
    EXPECT_EQ(details.value(0), QStringLiteral("Achtung: 1 Tarifzeilen haben den Verkaufspreis 0 oder keinen."))
        << details.join(u'\n').toStdString();
    EXPECT_EQ(details.value(1), QStringLiteral("Achtung: 1 Zeilen der Preisliste wurden übersprungen."));
    EXPECT_TRUE(details.contains(QStringLiteral("  Zeile 3: „0044;UK;kostenlos“ – Preis ist keine Zahl")));
    EXPECT_TRUE(details.contains(QStringLiteral("  Neue Ziele: 1")));
}

const QByteArray kServerList = "#kvtpricelist\nList-ID: {A1}\nList-Sequence: 12\nEffective: 01.03.2011 00:00\n\n"
                               "0043;\xC3\x96sterreich;0,02\n"
                               "004930;Deutschland Berlin;0,01\n";

double PriceOf(const TempTariff &tariff, const QString &number)
{
    const QStringList rows = tariff.Rows(QStringLiteral("SELECT Price_EUR FROM Numbers WHERE Number = '%1'").arg(number));
    return rows.size() == 1 ? rows.constFirst().toDouble() : -1;
}

// Runs with the download from a real HTTP server on 127.0.0.1.
class WindowDownloadRun : public testing::Test {
protected:
    void SetUp() override
    {
        tariff_.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.02);
        window_ = std::make_unique<WindowDriver>(SettingsFor(tariff_), ServerDownloadStatus(GermanLocale()));
    }

    HttpTestServer server_;
    QTemporaryDir tempDir_;
    ScopedEnvironment tmpdir_{"TMPDIR", tempDir_.path()};
    ScopedEnvironment address_{"PREISLISTE_SERVER", server_.Address()};
    TempTariff tariff_;
    std::unique_ptr<WindowDriver> window_;
};

TEST_F(WindowDownloadRun, ShowsTheStatisticsTheCountAndFertigInThisOrder)
{
    server_.Respond(200, kServerList);
    window_->Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(*window_));
    EXPECT_EQ(window_->Form().LastRunOutcome(), RunOutcome::Committed);
    EXPECT_EQ(window_->Dialogs().Titles(),
              (QStringList{QStringLiteral("Update Info"), QStringLiteral("Neuberechnung"), kProgramTitle}));
    EXPECT_EQ(window_->Dialogs().Texts().last(), QStringLiteral("Fertig!"));
    for (const RecordedMessage &message : std::as_const(window_->Dialogs().messages))
        EXPECT_EQ(message.icon, MessageIcon::Information) << message.text.toStdString();
    EXPECT_TRUE(server_.RequestLines().last().contains(QStringLiteral("custid=4711&head=0")));
    // 0,02 net: 0,0238 gross, × 1,6 = 0,0381, plus 0,0079, cut to cents.
    EXPECT_DOUBLE_EQ(PriceOf(tariff_, QStringLiteral("0043")), 0.04);
    // The downloaded file does not replace the operator's own file.
    EXPECT_EQ(window_->Form().PriceListFile(), QStringLiteral("/work/dir/preise.csv"));
    EXPECT_EQ(window_->Text(QStringLiteral("txtFileName")), QStringLiteral("/work/dir/preise.csv"));
}

TEST_F(WindowDownloadRun, ARunPricesWithTheRuleAsItStoodAtItsStart)
{
    server_.Respond(200, kServerList);
    // The operator changes the markup while the statistics are on screen;
    // the run has priced with the rule as it stood at its start.
    bool changed = false;
    window_->Dialogs().onMessage = [&] {
        if (std::exchange(changed, true))
            return;
        window_->Enter(QStringLiteral("txtMarkup"), QStringLiteral("100"));
    };
    window_->Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(*window_));
    ASSERT_EQ(window_->Form().LastRunOutcome(), RunOutcome::Committed);
    EXPECT_DOUBLE_EQ(window_->Form().Rule().markup(), 1.0);
    EXPECT_DOUBLE_EQ(PriceOf(tariff_, QStringLiteral("0043")), 0.04) << "60 %, not 100 %";
}

TEST_F(WindowDownloadRun, AFailedDownloadRollsBackWithoutAWord)
{
    const QString before = tariff_.Snapshot();
    server_.Respond(404, "nicht gefunden");
    window_->Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(*window_));
    EXPECT_EQ(window_->Form().LastRunOutcome(), RunOutcome::Failed);
    EXPECT_TRUE(window_->Dialogs().messages.isEmpty());
    EXPECT_EQ(window_->Text(QStringLiteral("cmdStart")), QStringLiteral("&Start"));
    EXPECT_EQ(tariff_.Snapshot(), before);
}

TEST_F(WindowDownloadRun, TheCustomerIdIsTakenFromTheFieldAtTheStart)
{
    server_.Respond(200, kServerList);
    window_->TypeInto(QStringLiteral("txtKdId"), QStringLiteral(" 0815 "));
    window_->Click(QStringLiteral("cmdStart"));
    ASSERT_TRUE(WaitForIdle(*window_));
    // Leaving the field also asks for the status (head=1), on its own thread,
    // so the two requests may arrive in either order.
    const QStringList requests = server_.RequestLines();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [](const QString &line) {
        return line.contains(QStringLiteral("custid=0815&head=0"));
    })) << requests.join(u'\n').toStdString();
    EXPECT_EQ(window_->Form().CustomerId(), QStringLiteral("0815"));
}

} // namespace
} // namespace preisliste::test
