// Measures an update run started from the window: whether the window keeps
// painting and handling its events while a large list runs, and how long
// "Stopp" takes until the window is idle again.

#include "app/dialogs.h"
#include "app/updatewindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace preisliste;

namespace {

const char *const kUsage =
    "Aufruf: window_run_bench --db TARIF --file PREISLISTE [--stops K]\n"
    "\n"
    "Startet im Fenster (Plattform aus QT_QPA_PLATFORM) ein Update mit der\n"
    "Preisliste als lokaler Datei, jedes Mal auf einer frischen Kopie der\n"
    "Tarifdatenbank: einmal bis zum Ende, dann K-mal (Vorgabe 3) mit \"Stopp\"\n"
    "bei gleichmäßig verteilten Zeitpunkten. Gibt aus: Dauer, Zahl der\n"
    "Neuzeichnungen des Fortschrittsbalkens, längste Pause der Ereignisschleife\n"
    "des Fensters, und je Stopp die Zeit vom Klick bis zum Leerlauf.\n";

// Message boxes close at once; nothing waits for an operator.
class SilentDialogs : public DialogPresenter {
public:
    void ShowMessage(QWidget *, MessageIcon, const QString &title, const QString &text) override
    {
        std::printf("  [%s] %s\n", qPrintable(title), qPrintable(QString(text).replace(u'\n', u' ')));
    }
    void ShowDetailedMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text,
                             const QString &) override
    {
        ShowMessage(parent, icon, title, text);
    }
    bool AskYesNo(QWidget *, const QString &, const QString &) override { return false; }
    void PlayAlertSound() override {}
    std::optional<QString> ChooseFile(QWidget *, const FileDialogRequest &) override { return chosen; }
    QString chosen;
};

// Counts the paints of one widget.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

struct RunFigures {
    double seconds = 0;
    int paints = 0;
    int distinctValues = 0;
    qint64 longestLoopGapMs = 0;
    double stopToIdleMs = -1;
    std::optional<RunOutcome> outcome;
};

// One run in a fresh window on a fresh copy of the tariff; presses "Stopp"
// after `stopAfterMs` unless it is negative.
RunFigures OneRun(const QString &database, const QString &list, int stopAfterMs)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("Numbers.mdb"));
    QFile::copy(database, copy);
    SilentDialogs dialogs;
    dialogs.chosen = list;
    UpdateWindow window(WindowEnvironment{
        .settings = TelvoroSettings::FromText(
            QStringLiteral("[Options]\nDB Path=%1\nMwSt=19\n").arg(folder.path())),
        .currentDirectory = folder.path(),
        .locale = QLocale(QLocale::German, QLocale::Germany),
        .dialogs = &dialogs,
        .downloadStatus = {},
    });
    window.show();
    window.ActivateFirstTime();
    window.findChild<QCheckBox *>(QStringLiteral("chkImport"))->setChecked(true);
    window.findChild<QPushButton *>(QStringLiteral("cmdFile"))->click();

    auto *bar = window.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
    auto *start = window.findChild<QPushButton *>(QStringLiteral("cmdStart"));
    PaintCounter counter;
    bar->installEventFilter(&counter);
    QSet<int> values;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) { values.insert(value); });

    RunFigures figures;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticker; // how long the window's event loop is ever kept from running
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        figures.longestLoopGapMs = std::max(figures.longestLoopGapMs, sinceTick.restart());
    });
    QElapsedTimer stopClock;
    if (stopAfterMs >= 0) {
        QTimer::singleShot(stopAfterMs, &window, [&] {
            if (window.UpdateRunning()) {
                stopClock.start();
                start->click(); // "Stopp"
            }
        });
    }
    clock.start();
    sinceTick.start();
    ticker.start();
    start->click();
    while (window.UpdateRunning())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ticker.stop();
    figures.seconds = clock.elapsed() / 1000.0;
    if (stopClock.isValid())
        figures.stopToIdleMs = stopClock.nsecsElapsed() / 1e6;
    QApplication::processEvents();
    figures.paints = counter.paints;
    figures.distinctValues = int(values.size());
    figures.outcome = window.LastRunOutcome();
    return figures;
}

const char *OutcomeName(std::optional<RunOutcome> outcome)
{
    if (!outcome)
        return "-";
    switch (*outcome) {
    case RunOutcome::Committed:
        return "gespeichert";
    case RunOutcome::Stopped:
        return "gestoppt";
    case RunOutcome::Refused:
        return "abgelehnt";
    case RunOutcome::DryRunDone:
        return "Probelauf";
    case RunOutcome::Unchanged:
        return "unverändert";
    case RunOutcome::NotYetEffective:
        return "noch nicht gültig";
    case RunOutcome::Failed:
        break;
    }
    return "fehlgeschlagen";
}

void Print(const char *label, const RunFigures &figures)
{
    std::printf("%s: %.2f s, %s, %d Neuzeichnungen von ProgressBar1, %d verschiedene Werte, "
                "längste Pause der Ereignisschleife %lld ms",
                label, figures.seconds, OutcomeName(figures.outcome), figures.paints, figures.distinctValues,
                static_cast<long long>(figures.longestLoopGapMs));
    if (figures.stopToIdleMs >= 0)
        std::printf(", Stopp bis Leerlauf %.1f ms", figures.stopToIdleMs);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QString database;
    QString list;
    int stops = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc || (arg != "--db" && arg != "--file" && arg != "--stops")) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        const QString value = QString::fromLocal8Bit(argv[++i]);
        if (arg == "--db")
            database = QFileInfo(value).absoluteFilePath();
        else if (arg == "--file")
            list = QFileInfo(value).absoluteFilePath();
        else
            stops = std::max(0, value.toInt());
    }
    if (database.isEmpty() || list.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::printf("Plattform: %s\n", qPrintable(QGuiApplication::platformName()));
    const RunFigures whole = OneRun(database, list, -1);
    Print("ganzer Lauf", whole);
    for (int stop = 1; stop <= stops; ++stop) {
        const int afterMs = int(whole.seconds * 1000 * stop / (stops + 1));
        const std::string label = "Stopp nach " + std::to_string(afterMs) + " ms";
        Print(label.c_str(), OneRun(database, list, afterMs));
    }
    return whole.outcome == RunOutcome::Committed ? 0 : 1;
}
