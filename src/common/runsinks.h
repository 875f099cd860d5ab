#pragma once

#include <QString>

namespace preisliste {

// The title of the program's own message boxes.
inline const QString kProgramTitle = QStringLiteral("Preisliste");

// Where a run reports its progress and learns that the operator wants it to
// stop. The window and the command line each implement it; the stages call it
// once per row, so an implementation must be cheap (compare, then store).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;

    // Sets the overall bar to `overall` and, unless `action` is negative, the
    // action bar to `action` (both 0..100). Returns StopRequested().
    virtual bool SetProgress(int overall, int action) = 0;
    virtual bool StopRequested() const = 0;
};

enum class MessageIcon { Information, Warning, Error };

// Where a run shows its messages. The window shows a modal box and returns
// when it is closed; the command line prints errors and warnings on stderr,
// everything else on stdout.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(MessageIcon icon, const QString &title, const QString &text) = 0;
    // A message with details the operator may unfold ("Details einblenden…"
    // in the window). A sink without such a place shows the message alone.
    virtual void ShowDetailedMessage(MessageIcon icon, const QString &title, const QString &text,
                                     const QString &details)
    {
        Q_UNUSED(details);
        ShowMessage(icon, title, text);
    }

    void ShowError(const QString &text) { ShowMessage(MessageIcon::Error, kProgramTitle, text); }
    void ShowWarning(const QString &text) { ShowMessage(MessageIcon::Warning, kProgramTitle, text); }
    void ShowInformation(const QString &text) { ShowMessage(MessageIcon::Information, kProgramTitle, text); }
};

} // namespace preisliste
