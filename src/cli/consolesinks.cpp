#include "cli/consolesinks.h"

#include <atomic>
#include <unistd.h>

namespace preisliste {

namespace {

// Set from the signal handler: a lock-free atomic is all it may touch.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
static_assert(std::size(kStopSignals) == ConsoleProgressSink::kStopSignalCount);
// True while the progress bar's line on stderr has not been ended; a message
// printed then starts on a line of its own.
std::atomic<bool> barLineOpen{false};

void EndBarLine()
{
    if (barLineOpen.exchange(false))
        std::fputs("\n", stderr);
}

extern "C" void OnStopSignal(int)
{
    interrupted.store(true, std::memory_order_relaxed);
}

} // namespace

void WriteLine(std::FILE *stream, const QString &text)
{
    EndBarLine();
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void ConsoleMessageSink::ShowMessage(MessageIcon icon, const QString &title, const QString &text)
{
    const bool problem = icon != MessageIcon::Information;
    QString line = text;
    // Boxes with a title of their own ("Update Info") keep it as a heading.
    if (title != kProgramTitle && !title.isEmpty())
        line = QStringLiteral("[%1]\n%2").arg(title, text);
    else if (icon == MessageIcon::Warning)
        line = QStringLiteral("Warnung: ") + text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::FILE *stream = problem ? err_ : out_;
    if (stream)
        WriteLine(stream, line);
}

ConsoleProgressSink::ConsoleProgressSink(bool drawBar) : drawBar_(drawBar)
{
    interrupted.store(false);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes go on; the run notices the flag itself.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i], &action, &previous_[i]);
}

ConsoleProgressSink::~ConsoleProgressSink()
{
    for (int i = 0; i < kStopSignalCount; ++i)
        sigaction(kStopSignals[i], &previous_[i], nullptr);
    EndBarLine();
}

bool ConsoleProgressSink::StderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

bool ConsoleProgressSink::SetProgress(int overall, int action)
{
    const int newAction = action >= 0 ? action : action_;
    if (overall != overall_ || newAction != action_) {
        overall_ = overall;
        action_ = newAction;
        if (drawBar_)
            Draw();
    }
    return StopRequested();
}

bool ConsoleProgressSink::StopRequested() const
{
    return interrupted.load(std::memory_order_relaxed);
}

void ConsoleProgressSink::Draw()
{
    constexpr int kWidth = 30;
    const int filled = std::clamp(overall_, 0, 100) * kWidth / 100;
    const QByteArray bar = QByteArray(filled, '#') + QByteArray(kWidth - filled, '-');
    std::fprintf(stderr, "\rgesamt [%s] %3d %%  Aktion %3d %%", bar.constData(), overall_, std::max(action_, 0));
    std::fflush(stderr);
    barLineOpen = true;
}

} // namespace preisliste
