#pragma once

#include "common/runsinks.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace preisliste {

// The progress of a run on a worker thread, for the window. SetProgress is
// called once per row, so it only compares and stores; it posts to the window
// when a value changed and no earlier post is still waiting, and the window
// then reads the latest values.
class WindowProgress final : public ProgressSink {
public:
    // `show` runs on the thread of `receiver` with overall and action
    // (action -1: leave that bar alone).
    WindowProgress(QObject *receiver, std::function<void(int overall, int action)> show);

    bool SetProgress(int overall, int action) override;
    bool StopRequested() const override { return stop_.load(std::memory_order_relaxed); }

    void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
    // Before a run: no stop, nothing shown yet.
    void Reset();

private:
    void Post();

    QObject *receiver_;
    std::function<void(int, int)> show_;
    std::atomic<int> overall_{-1};
    std::atomic<int> action_{-1};
    std::atomic<bool> postPending_{false};
    std::atomic<bool> stop_{false};
};

// The messages of a run on a worker thread: each one is shown by `show` on
// the thread of `receiver`, and the worker waits until it has been closed,
// so the boxes appear one after the other in the run's order. Cancel()
// releases a waiting worker at once (the window is going away).
class WindowMessages final : public MessageSink {
public:
    // Icon, title, text and details (empty: none).
    using Show = std::function<void(MessageIcon, const QString &, const QString &, const QString &)>;
    WindowMessages(QObject *receiver, Show show);

    void ShowMessage(MessageIcon icon, const QString &title, const QString &text) override;
    void ShowDetailedMessage(MessageIcon icon, const QString &title, const QString &text,
                             const QString &details) override;

    void Cancel();
    void Reset();

private:
    QObject *receiver_;
    Show show_;
    std::mutex mutex_;
    std::condition_variable closed_;
    quint64 shown_ = 0;     // messages closed so far
    bool cancelled_ = false;
};

} // namespace preisliste
