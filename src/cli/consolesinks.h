#pragma once

#include "common/runsinks.h"

#include <csignal>
#include <cstdio>

namespace preisliste {

// Errors and warnings go to stderr, everything else to stdout; a quiet sink
// drops everything else.
class ConsoleMessageSink : public MessageSink {
public:
    ConsoleMessageSink(std::FILE *out = stdout, std::FILE *err = stderr) : out_(out), err_(err) {}
    static ConsoleMessageSink Quiet() { return ConsoleMessageSink(nullptr, stderr); }
    void ShowMessage(MessageIcon icon, const QString &title, const QString &text) override;

private:
    std::FILE *out_;
    std::FILE *err_;
};

// Draws a progress bar on stderr when stderr is a terminal. Ctrl+C (SIGINT),
// SIGTERM (systemd stopping a service, kill) and SIGHUP (the terminal gone)
// ask the run to stop, which rolls it back; while the object lives, those
// signals no longer end the process.
class ConsoleProgressSink : public ProgressSink {
public:
    explicit ConsoleProgressSink(bool drawBar);
    ~ConsoleProgressSink() override;
    ConsoleProgressSink(const ConsoleProgressSink &) = delete;
    ConsoleProgressSink &operator=(const ConsoleProgressSink &) = delete;

    bool SetProgress(int overall, int action) override;
    bool StopRequested() const override;

    static bool StderrIsTerminal();
    static constexpr int kStopSignalCount = 3;

private:
    void Draw();

    bool drawBar_;
    struct sigaction previous_[kStopSignalCount]; // restored when the object goes
    int overall_ = -1;
    int action_ = -1;
};

void WriteLine(std::FILE *stream, const QString &text);

} // namespace preisliste
