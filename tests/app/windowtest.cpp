#include "windowtest.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

namespace preisliste::test {

void RecordingDialogs::ShowMessage(QWidget *parent, MessageIcon icon, const QString &title, const QString &text)
{
    ShowDetailedMessage(parent, icon, title, text, {});
}

void RecordingDialogs::ShowDetailedMessage(QWidget *, MessageIcon icon, const QString &title, const QString &text,
                                           const QString &detailText)
{
    messages.append({icon, title, text});
    details.append(detailText);
    if (onMessage)
        onMessage();
}

bool RecordingDialogs::AskYesNo(QWidget *, const QString &, const QString &question)
{
    questions.append(question);
    return answerYes;
}

std::optional<QString> RecordingDialogs::ChooseFile(QWidget *, const FileDialogRequest &request)
{
    fileRequests.append(request);
    return nextChosenFile;
}

QStringList RecordingDialogs::Titles() const
{
    QStringList titles;
    for (const auto &message : messages)
        titles << message.title;
    return titles;
}

QStringList RecordingDialogs::Texts() const
{
    QStringList texts;
    for (const auto &message : messages)
        texts << message.text;
    return texts;
}

DownloadStatusProvider StatusRecorder::Provider()
{
    return [this](const QString &customerId) {
        requests_ << customerId;
        auto request = std::make_unique<StatusRequest>();
        QTimer::singleShot(0, request.get(), [request = request.get(), customerId] {
            Q_EMIT request->answered(QStringLiteral("Status ") + customerId);
        });
        return request;
    };
}

QLocale GermanLocale()
{
    return QLocale(QLocale::German, QLocale::Germany);
}

WindowDriver::WindowDriver(const QString &iniText, DownloadStatusProvider status, const QString &currentDirectory)
{
    form_ = std::make_unique<UpdateWindow>(WindowEnvironment{
        .settings = TelvoroSettings::FromText(iniText),
        .currentDirectory = currentDirectory,
        .locale = GermanLocale(),
        .dialogs = &dialogs_,
        .downloadStatus = status ? std::move(status) : status_.Provider(),
    });
    form_->show();
    QApplication::setActiveWindow(form_.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    form_->ActivateFirstTime(); // the first activation has usually run already
    SettleStatus();
}

WindowDriver::~WindowDriver()
{
    form_.reset();
}

QString WindowDriver::Text(const QString &name) const
{
    QWidget *widget = Find(name);
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    ADD_FAILURE() << name.toStdString() << " has no text";
    return {};
}

bool WindowDriver::Checked(const QString &name) const
{
    return Find<QAbstractButton>(name)->isChecked();
}

QWidget *WindowDriver::Focused() const
{
    return QApplication::focusWidget();
}

void WindowDriver::Click(const QString &name)
{
    QWidget *widget = Find(name);
    // A check box or option button takes clicks on its box and caption only.
    const bool hasIndicator = qobject_cast<QCheckBox *>(widget) || qobject_cast<QRadioButton *>(widget);
    const QPoint where = hasIndicator ? QPoint(6, widget->height() / 2) : widget->rect().center();
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, where);
    QCoreApplication::processEvents();
}

void WindowDriver::TypeInto(const QString &name, const QString &text)
{
    Click(name);
    QTest::keyClick(Find(name), Qt::Key_A, Qt::ControlModifier); // txtVAT selects nothing by itself
    QWidget *field = Find(name);
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar character : text) {
        if (character.unicode() < 128) {
            QTest::keyClick(field, character.toLatin1());
            continue;
        }
        // Beyond ASCII (€, ö) QTest knows no key; the text is what counts.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
        QApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
        QApplication::sendEvent(field, &release);
    }
    QCoreApplication::processEvents();
}

void WindowDriver::PressKey(const QString &name, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(Find(name), key, modifiers);
    QCoreApplication::processEvents();
}

void WindowDriver::Enter(const QString &name, const QString &text)
{
    TypeInto(name, text);
    PressKey(name, Qt::Key_Tab);
}

void WindowDriver::SettleStatus()
{
    EXPECT_TRUE(WaitUntil([this] { return form_->PendingStatusRequests() == 0; }));
    QCoreApplication::processEvents();
}

} // namespace preisliste::test
