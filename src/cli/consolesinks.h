#pragma once

#include "common/runsinks.h"

#include <atomic>
#include <cstdio>

namespace preisliste {

// Errors and warnings go to stderr, everything else to stdout.
class ConsoleMessageSink : public MessageSink {
public:
    ConsoleMessageSink(std::FILE *out = stdout, std::FILE *err = stderr) : out_(out), err_(err) {}
    void ShowMessage(MessageIcon icon, const QString &title, const QString &text) override;

private:
    std::FILE *out_;
    std::FILE *err_;
};

// Draws a progress bar on stderr when stderr is a terminal; Ctrl+C asks the
// run to stop, which rolls it back.
class ConsoleProgressSink : public ProgressSink {
public:
    explicit ConsoleProgressSink(bool drawBar);
    ~ConsoleProgressSink() override;

    bool SetProgress(int overall, int action) override;
    bool StopRequested() const override;

    static bool StderrIsTerminal();

private:
    void Draw();

    bool drawBar_;
    int overall_ = -1;
    int action_ = -1;
};

void WriteLine(std::FILE *stream, const QString &text);

} // namespace preisliste
