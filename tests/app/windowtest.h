#pragma once

#include "app/dialogs.h"
#include "app/updatewindow.h"
#include "support/httptestserver.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <memory>

namespace preisliste::test {

// Captures what the window would show in dialogs; file dialogs answer with
// `nextChosenFile` (nothing: cancelled).
class RecordingDialogs : public DialogPresenter {
public:
    void ShowMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text) override;
    void ShowDetailedMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text,
                             const QString &details) override;
    bool AskYesNo(QWidget *parent, const QString &title, const QString &question) override;
    void PlayAlertSound() override { ++alerts; }
    std::optional<QString> ChooseFile(QWidget *parent, const FileDialogRequest &request) override;

    QStringList Titles() const;
    QStringList Texts() const;

    QList<RecordedMessage> messages;
    int alerts = 0;
    QList<FileDialogRequest> fileRequests;
    std::optional<QString> nextChosenFile;
    std::function<void()> onMessage; // runs while a message box would be open
    QStringList details;             // of every message, empty where it has none
    QStringList questions;
    bool answerYes = false;          // the answer to every question
};

// A download status that answers on the next turn of the event loop with
// "Status <id>", remembering every customer ID asked for.
class StatusRecorder {
public:
    DownloadStatusProvider Provider();
    QStringList Requests() const { return requests_; }

private:
    QStringList requests_;
};

QLocale GermanLocale();

// The window on the offscreen platform, shown, active and filled from the
// settings in `iniText`, driven like an operator drives it.
class WindowDriver {
public:
    explicit WindowDriver(const QString &iniText, DownloadStatusProvider status = {},
                          const QString &currentDirectory = QStringLiteral("/work/dir"));
    ~WindowDriver();

    UpdateWindow &Form() { return *form_; }
    RecordingDialogs &Dialogs() { return dialogs_; }
    StatusRecorder &Status() { return status_; }

    template <typename T = QWidget>
    T *Find(const QString &name) const
    {
        T *widget = form_->findChild<T *>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QString Text(const QString &name) const;
    bool Checked(const QString &name) const;
    bool Enabled(const QString &name) const { return Find(name)->isEnabled(); }
    QWidget *Focused() const;

    void Click(const QString &name);
    // Clicks into the field (which selects its text) and types `text` over it.
    void TypeInto(const QString &name, const QString &text);
    void PressKey(const QString &name, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // TypeInto, then Tab: the field's check runs.
    void Enter(const QString &name, const QString &text);
    // Waits until no status request is outstanding.
    void SettleStatus();

private:
    RecordingDialogs dialogs_;
    StatusRecorder status_;
    std::unique_ptr<UpdateWindow> form_;
};

} // namespace preisliste::test
