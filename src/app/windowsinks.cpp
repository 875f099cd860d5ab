#include "app/windowsinks.h"

#include <QMetaObject>

namespace preisliste {

WindowProgress::WindowProgress(QObject *receiver, std::function<void(int, int)> show)
    : receiver_(receiver), show_(std::move(show))
{
}

bool WindowProgress::SetProgress(int overall, int action)
{
    // Only the run's thread writes the two values, so load and store suffice.
    bool changed = false;
    if (overall_.load(std::memory_order_relaxed) != overall) {
        overall_.store(overall, std::memory_order_relaxed);
        changed = true;
    }
    if (action >= 0 && action_.load(std::memory_order_relaxed) != action) {
        action_.store(action, std::memory_order_relaxed);
        changed = true;
    }
    if (changed && !postPending_.exchange(true, std::memory_order_acq_rel))
        Post();
    return stop_.load(std::memory_order_relaxed);
}

void WindowProgress::Post()
{
    QMetaObject::invokeMethod(
        receiver_,
        [this] {
            postPending_.store(false, std::memory_order_release);
            show_(overall_.load(std::memory_order_relaxed), action_.load(std::memory_order_relaxed));
        },
        Qt::QueuedConnection);
}

void WindowProgress::Reset()
{
    overall_.store(-1);
    action_.store(-1);
    stop_.store(false);
}

WindowMessages::WindowMessages(QObject *receiver, Show show) : receiver_(receiver), show_(std::move(show)) {}

void WindowMessages::ShowMessage(MessageIcon icon, const QString &title, const QString &text)
{
    ShowDetailedMessage(icon, title, text, {});
}

void WindowMessages::ShowDetailedMessage(MessageIcon icon, const QString &title, const QString &text,
                                         const QString &details)
{
    std::unique_lock lock(mutex_);
    if (cancelled_)
        return;
    const quint64 number = shown_ + 1;
    QMetaObject::invokeMethod(
        receiver_,
        [this, icon, title, text, details] {
            show_(icon, title, text, details);
            const std::lock_guard closedLock(mutex_);
            ++shown_;
            closed_.notify_all();
        },
        Qt::QueuedConnection);
    closed_.wait(lock, [&] { return cancelled_ || shown_ >= number; });
}

void WindowMessages::Cancel()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = true;
    closed_.notify_all();
}

void WindowMessages::Reset()
{
    const std::lock_guard lock(mutex_);
    cancelled_ = false;
}

} // namespace preisliste
