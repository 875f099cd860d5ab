#include "app/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace preisliste {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        break;
    }
    return QMessageBox::Critical;
}

} // namespace

void QtDialogPresenter::ShowMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text)
{
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtDialogPresenter::ShowDetailedMessage(QWidget *parent, MessageIcon icon, const QString &title,
                                            const QString &text, const QString &details)
{
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.setDetailedText(details);
    box.exec();
}

bool QtDialogPresenter::AskYesNo(QWidget *parent, const QString &title, const QString &question)
{
    QMessageBox box(QMessageBox::Warning, title, question, QMessageBox::NoButton, parent);
    QPushButton *yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void QtDialogPresenter::PlayAlertSound()
{
    QApplication::beep();
}

std::optional<QString> QtDialogPresenter::ChooseFile(QWidget *parent, const FileDialogRequest &request)
{
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(request.filter.split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(request.defaultSuffix);
    const QFileInfo initial(request.initialFile);
    if (initial.dir().exists())
        dialog.setDirectory(initial.dir());
    dialog.selectFile(initial.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace preisliste
