#pragma once

#include "common/runsinks.h"

#include <QString>

#include <optional>

class QWidget;

namespace preisliste {

// What a file-open dialog is asked for: the file chosen must exist.
struct FileDialogRequest {
    QString title;
    QString filter;      // "CSV-Datei (*.csv);;Alle Dateien (*)"
    QString initialFile; // preselected path
    QString defaultSuffix = QStringLiteral("csv");
};

// Everything the window shows in a dialog of its own or plays as a sound.
// The window never opens a dialog directly, so tests replace all of it.
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    // A modal message box with an OK button; returns when it is closed.
    virtual void ShowMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text) = 0;
    // The same with details the operator may unfold ("Details einblenden…").
    virtual void ShowDetailedMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text,
                                     const QString &details) = 0;
    // A modal question with "Ja" and "Nein", "Nein" the default; true for "Ja".
    virtual bool AskYesNo(QWidget *parent, const QString &title, const QString &question) = 0;
    // The short alert sound of a refused entry; returns at once.
    virtual void PlayAlertSound() = 0;
    // The chosen existing file, or nothing when the dialog was cancelled.
    virtual std::optional<QString> ChooseFile(QWidget *parent, const FileDialogRequest &request) = 0;
};

// Qt's message boxes and file dialog, and the desktop's alert sound.
class QtDialogPresenter : public DialogPresenter {
public:
    void ShowMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text) override;
    void ShowDetailedMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text,
                             const QString &details) override;
    bool AskYesNo(QWidget *parent, const QString &title, const QString &question) override;
    void PlayAlertSound() override;
    std::optional<QString> ChooseFile(QWidget *parent, const FileDialogRequest &request) override;
};

} // namespace preisliste
