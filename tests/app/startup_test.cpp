#include "windowtest.h"

#include "run/startupsettings.h"

#include <QAccessible>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QTest>

namespace preisliste::test {
namespace {

const QString kSettings = QStringLiteral("[Options]\nDB Path=/srv/telvoro\nMwSt=19\nProviderAccountUserId=4711\n");

struct ControlText {
    const char *name;
    QString text;
};

TEST(WindowLayout, ControlsCarryTheirCaptionsAndInitialTextsBeforeTheFirstActivation)
{
    RecordingDialogs dialogs;
    const UpdateWindow form(WindowEnvironment{.settings = TelvoroSettings::FromText(kSettings),
                                       .currentDirectory = QStringLiteral("/work"),
                                       .locale = GermanLocale(),
                                       .dialogs = &dialogs,
                                       .downloadStatus = {}});
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Update Preisliste"));
    const ControlText controls[] = {
        {"chkPriceDownload", QStringLiteral("Preis-Download vom Server mit Kunden-ID:")},
        {"txtKdId", QStringLiteral("No ID")},
        {"lblDownloadDate", QString()},
        {"chkImport", QStringLiteral("Import-Datei (CSV):")},
        {"txtFileName", QStringLiteral("Preise.csv")},
        {"cmdFile", QStringLiteral("...")},
        {"Label6", QStringLiteral("Datenbank-Datei:")},
        {"txtDbFilename", QStringLiteral("Numbers.mdb")},
        {"cmdDatebasePath", QStringLiteral("...")},
        {"optProfitMargin0", QStringLiteral("Aufschlag auf EK [%]:")},
        {"txtMarkup", QStringLiteral("60,0%")},
        {"optProfitMargin1", QStringLiteral("Marge vom VK [%]:")},
        {"txtMargin", QStringLiteral("37,5%")},
        {"optProfitMargin2", QStringLiteral("Profit / Gewinn [€]")},
        {"txtProfit", QStringLiteral("0,05 €")},
        {"chkMinProfit", QStringLiteral("Minimaler Profit (€):")},
        {"txtMinProfit", QStringLiteral("0,05 €")},
        {"chkMinRate", QStringLiteral("Minimaler Minutenpreis:")},
        {"txtMinSellRate", QStringLiteral("0,10 €")},
        {"Label7", QStringLiteral("Mehrwertsteuer")},
        {"txtVAT", QStringLiteral("19%")},
        {"Label4", QStringLiteral("Aufrunden auf ganze Cent über... z.B. 0,0020 -> 0,00 ; 0,0021 -> 0,01")},
        {"txtRoundUp", QStringLiteral("0,002")},
        {"chkUseOnAll", QStringLiteral("...auf alle Einträge.")},
        {"chkUseOnMargin", QStringLiteral("...wo Marge vom VK weniger als")},
        {"txtUseOnMargin", QStringLiteral("20%")},
        {"chkUseOnMarkup", QStringLiteral("...wo Aufschlag auf EK unter ")},
        {"txtUseOnMarkup", QStringLiteral("10%")},
        {"chkUseOnProfit", QStringLiteral("...wo Profit weniger als ")},
        {"txtUseOnProfit", QStringLiteral("0,05 €")},
        {"chkUseOnSellRate", QStringLiteral("...wo VK-Preis unter")},
        {"txtUseOnSellRate", QStringLiteral("0,10 €")},
        {"chkInternational", QStringLiteral("Nur Internationale Destinationen")},
        {"chkUseNotOnEdited", QStringLiteral("NICHT auf selbst eingestellte Preise")},
        {"txtSampleEk", QStringLiteral("0,1290 €")},
        {"lblSampleEkGross", QStringLiteral("0,1535 €")},
        {"txtSampleOldVk", QStringLiteral("0,23 €")},
        {"lblSampleNewVk", QStringLiteral("0,29 €")},
        {"lblSampleProfit", QStringLiteral("0,0765 €")},
        {"lblSampleMargin", QStringLiteral("33,3%")},
        {"lblSampleMarkup", QStringLiteral("49,8%")},
        {"Label1", QStringLiteral("Fortschritt Aktion:")},
        {"Label2", QStringLiteral("Fortschritt gesamt:")},
        {"cmdClose", QStringLiteral("&Schließen")},
        {"cmdRecalc", QStringLiteral("Neu &Berechnen")},
        {"cmdStart", QStringLiteral("&Start")},
    };
    for (const auto &[name, text] : controls) {
        SCOPED_TRACE(name);
        QWidget *widget = form.findChild<QWidget *>(QString::fromLatin1(name));
        ASSERT_NE(widget, nullptr);
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            EXPECT_EQ(edit->text(), text);
        else if (auto *label = qobject_cast<QLabel *>(widget))
            EXPECT_EQ(label->text(), text);
        else
            EXPECT_EQ(qobject_cast<QAbstractButton *>(widget)->text(), text);
    }
    for (const char *frame : {"fraEinstellungen", "Frame1", "fraSample"})
        EXPECT_NE(form.findChild<QGroupBox *>(QString::fromLatin1(frame)), nullptr) << frame;
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("fraEinstellungen"))->title(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("Frame1"))->title(), QStringLiteral("Anwendung..."));
    EXPECT_EQ(form.findChild<QGroupBox *>(QStringLiteral("fraSample"))->title(), QStringLiteral("Beispiel:"));
    EXPECT_EQ(form.findChild<QPushButton *>(QStringLiteral("cmdFile"))->toolTip(), QStringLiteral("Datei aussuchen"));
    EXPECT_EQ(form.findChild<QPushButton *>(QStringLiteral("cmdDatebasePath"))->toolTip(),
              QStringLiteral("Datei aussuchen"));
    EXPECT_EQ(form.findChild<QLabel *>(QStringLiteral("Label3"))->text(), UpdateWindow::kInstructionText);
    for (const char *bar : {"ProgressBar1", "ProgressBar2"}) {
        const auto *progress = form.findChild<QProgressBar *>(QString::fromLatin1(bar));
        ASSERT_NE(progress, nullptr) << bar;
        EXPECT_EQ(progress->value(), 0);
        EXPECT_EQ(progress->minimum(), 0);
        EXPECT_EQ(progress->maximum(), 100);
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(WindowLayout, HasAFixedSizeWithTheFramesSideBySideAtEqualHeight)
{
    WindowDriver window(kSettings);
    UpdateWindow &form = window.Form();
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    QWidget *settings = window.Find(QStringLiteral("fraEinstellungen"));
    QWidget *criteria = window.Find(QStringLiteral("Frame1"));
    EXPECT_EQ(settings->height(), criteria->height());
    EXPECT_EQ(settings->y(), criteria->y());
    EXPECT_LT(settings->x(), criteria->x());
    // Top to bottom: sources, frames, example, progress, buttons.
    EXPECT_LT(window.Find(QStringLiteral("txtDbFilename"))->y(), settings->y());
    EXPECT_LT(settings->y(), window.Find(QStringLiteral("fraSample"))->y());
    EXPECT_LT(window.Find(QStringLiteral("fraSample"))->y(), window.Find(QStringLiteral("ProgressBar2"))->y());
    EXPECT_LT(window.Find(QStringLiteral("ProgressBar2"))->y(), window.Find(QStringLiteral("ProgressBar1"))->y());
    EXPECT_LT(window.Find(QStringLiteral("ProgressBar1"))->y(), window.Find(QStringLiteral("cmdStart"))->y());
    EXPECT_LT(window.Find(QStringLiteral("cmdClose"))->x(), window.Find(QStringLiteral("cmdRecalc"))->x());
    EXPECT_LT(window.Find(QStringLiteral("cmdRecalc"))->x(), window.Find(QStringLiteral("cmdStart"))->x());
    EXPECT_EQ(window.Find(QStringLiteral("ProgressBar1"))->width(), window.Find(QStringLiteral("fraSample"))->width());
}

TEST(WindowLayout, CarriesTheProgramIcon)
{
    WindowDriver window(kSettings);
    const QIcon icon = window.Form().windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 48, 256}) {
        const QImage picture = icon.pixmap(size, size).toImage();
        EXPECT_EQ(picture.width(), size);
        // The tag is drawn, not a blank square: its middle is opaque.
        EXPECT_EQ(qAlpha(picture.pixel(size / 2, size / 2)), 255) << size;
    }
}

// What a screen reader says for each field: every field and progress bar
// has a name, from its label or from the check box or option beside it.
TEST(WindowLayout, EveryFieldIsNamedForScreenReaders)
{
    WindowDriver window(kSettings);
    const std::pair<const char *, const char *> labelled[] = {
        {"txtDbFilename", "Datenbank-Datei:"},
        {"txtVAT", "Mehrwertsteuer"},
        {"txtRoundUp", "Aufrunden auf ganze Cent über... z.B. 0,0020 -> 0,00 ; 0,0021 -> 0,01"},
        {"txtSampleEk", "Einkauf netto:"},
        {"txtSampleOldVk", "alter Verkaufspreis (brutto):"},
        {"ProgressBar2", "Fortschritt Aktion:"},
        {"ProgressBar1", "Fortschritt gesamt:"},
        {"txtKdId", "Preis-Download vom Server mit Kunden-ID:"},
        {"txtFileName", "Import-Datei (CSV):"},
        {"txtMarkup", "Aufschlag auf EK [%]:"},
        {"txtMinSellRate", "Minimaler Minutenpreis:"},
        {"txtUseOnSellRate", "...wo VK-Preis unter"},
    };
    for (const auto &[name, expected] : labelled) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(window.Find(QString::fromLatin1(name)));
        ASSERT_NE(accessible, nullptr) << name;
        EXPECT_EQ(accessible->text(QAccessible::Name), QString::fromUtf8(expected)) << name;
    }
    QList<QWidget *> fields;
    for (QLineEdit *edit : window.Form().findChildren<QLineEdit *>())
        fields.append(edit);
    for (QProgressBar *bar : window.Form().findChildren<QProgressBar *>())
        fields.append(bar);
    for (QWidget *field : fields) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(field);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << field->objectName().toStdString();
    }
}

TEST(WindowStartUp, FillsTheWindowFromTheSettingsAndTheRule)
{
    WindowDriver window(kSettings);
    EXPECT_TRUE(window.Checked(QStringLiteral("chkPriceDownload")));
    EXPECT_FALSE(window.Checked(QStringLiteral("chkImport")));
    EXPECT_TRUE(window.Checked(QStringLiteral("optProfitMargin0")));
    EXPECT_TRUE(window.Form().PriceDownloadEnabled());
    EXPECT_FALSE(window.Form().ImportFileEnabled());
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtKdId")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtFileName")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("cmdFile")));

    const std::pair<const char *, QString> fields[] = {
        {"txtKdId", QStringLiteral("4711")},
        {"txtFileName", QStringLiteral("/work/dir/preise.csv")},
        {"txtDbFilename", QStringLiteral("/srv/telvoro/Numbers.mdb")},
        {"txtMarkup", QStringLiteral("60,0%")},
        {"txtMargin", QStringLiteral("37,5%")},
        {"txtProfit", QStringLiteral("0,05 €")},
        {"txtMinProfit", QStringLiteral("0,05 €")},
        {"txtMinSellRate", QStringLiteral("0,10 €")},
        {"txtVAT", QStringLiteral("19,0%")},
        {"txtRoundUp", QStringLiteral("0,002")},
        {"txtUseOnMargin", QStringLiteral("37,5%")},
        {"txtUseOnMarkup", QStringLiteral("60,0%")},
        {"txtUseOnProfit", QStringLiteral("0,05 €")},
        {"txtUseOnSellRate", QStringLiteral("0,10 €")},
    };
    for (const auto &[name, text] : fields)
        EXPECT_EQ(window.Text(QString::fromLatin1(name)), text) << name;

    // The rule as the switches left it: all rows, markup mode, no floors.
    const PricingRule &rule = window.Form().Rule();
    EXPECT_TRUE(rule.UseOnAll);
    EXPECT_TRUE(rule.UseMarkup);
    EXPECT_FALSE(rule.UseMargin || rule.UseProfit || rule.UseMinProfit || rule.UseMinSellRate);
    EXPECT_DOUBLE_EQ(rule.markup(), 0.6);
    // Only the markup field of the three is open; the criteria wait for "all" to go off.
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtMarkup")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtMargin")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtProfit")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtMinProfit")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtMinSellRate")));
    for (const char *name : {"chkUseOnMargin", "chkUseOnMarkup", "chkUseOnProfit", "chkUseOnSellRate",
                             "txtUseOnMargin", "chkInternational", "chkUseNotOnEdited"})
        EXPECT_FALSE(window.Enabled(QString::fromLatin1(name))) << name;

    // One status request, for the customer of the settings, and its answer shown.
    EXPECT_EQ(window.Status().Requests(), QStringList{QStringLiteral("4711")});
    EXPECT_EQ(window.Text(QStringLiteral("lblDownloadDate")), QStringLiteral("Status 4711"));
    EXPECT_TRUE(window.Dialogs().messages.isEmpty());
    EXPECT_EQ(window.Form().CustomerId(), QStringLiteral("4711"));
}

TEST(WindowStartUp, ALaterActivationChangesNothing)
{
    WindowDriver window(kSettings);
    window.Enter(QStringLiteral("txtVAT"), QStringLiteral("7"));
    window.TypeInto(QStringLiteral("txtKdId"), QStringLiteral("999"));
    const QStringList requests = window.Status().Requests();

    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&window.Form(), &deactivate);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window.Form(), &activate);
    window.Form().ActivateFirstTime();
    window.SettleStatus();

    EXPECT_EQ(window.Text(QStringLiteral("txtVAT")), QStringLiteral("7,0%"));
    EXPECT_EQ(window.Text(QStringLiteral("txtKdId")), QStringLiteral("999"));
    EXPECT_DOUBLE_EQ(window.Form().Rule().VAT(), 0.07);
    EXPECT_EQ(window.Status().Requests(), requests);
    EXPECT_TRUE(window.Dialogs().messages.isEmpty());
}

struct DatabasePathCase {
    const char *label;
    QString settingLine; // empty: no "DB Path" at all
    QString databaseFile;
    bool message;
};

class WindowDatabasePath : public testing::TestWithParam<DatabasePathCase> {};

TEST_P(WindowDatabasePath, FollowsTheSetting)
{
    const DatabasePathCase &c = GetParam();
    WindowDriver window(QStringLiteral("[Options]\nMwSt=19\n") + c.settingLine);
    EXPECT_EQ(window.Form().DatabaseFile(), c.databaseFile);
    EXPECT_EQ(window.Text(QStringLiteral("txtDbFilename")), c.databaseFile);
    if (c.message) {
        ASSERT_EQ(window.Dialogs().messages.size(), 1);
        const RecordedMessage &message = window.Dialogs().messages.constFirst();
        EXPECT_EQ(message.icon, MessageIcon::Error);
        EXPECT_EQ(message.title, kProgramTitle);
        EXPECT_EQ(message.text, QStringLiteral("Es konnte kein Datenbankpfad gefunden werden!"));
    } else {
        EXPECT_TRUE(window.Dialogs().messages.isEmpty());
    }
    // No customer in these settings: the field is empty and the status is
    // still asked for, with an empty ID.
    EXPECT_EQ(window.Text(QStringLiteral("txtKdId")), QString());
    EXPECT_EQ(window.Status().Requests(), QStringList{QString()});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowDatabasePath,
    testing::Values(
        DatabasePathCase{"FolderWithoutSeparator", QStringLiteral("DB Path=/srv/telvoro\n"),
                         QStringLiteral("/srv/telvoro/Numbers.mdb"), false},
        DatabasePathCase{"FolderWithSeparator", QStringLiteral("DB Path=/srv/telvoro/\n"),
                         QStringLiteral("/srv/telvoro/Numbers.mdb"), false},
        DatabasePathCase{"EmptyFolderMeansTheRoot", QStringLiteral("DB Path=\n"), QStringLiteral("/Numbers.mdb"),
                         false},
        DatabasePathCase{"MissingMeansTheCurrentFolderAfterAMessage", QString(),
                         QStringLiteral("/work/dir/Numbers.mdb"), true}),
    [](const testing::TestParamInfo<DatabasePathCase> &info) { return std::string(info.param.label); });

TEST(WindowStartUp, RuleWarningsOfTheSettingsAreShownInAMessageBox)
{
    WindowDriver window(QStringLiteral("[Options]\nDB Path=/srv\n"));
    ASSERT_EQ(window.Dialogs().messages.size(), 1);
    const RecordedMessage &message = window.Dialogs().messages.constFirst();
    EXPECT_EQ(message.icon, MessageIcon::Warning);
    EXPECT_TRUE(message.text.contains(QStringLiteral("MwSt"))) << message.text.toStdString();
    EXPECT_EQ(window.Text(QStringLiteral("txtVAT")), QStringLiteral("19,0%"));
}

TEST(WindowFilePickers, DatabasePickerSetsThePathOnlyWhenAFileIsChosen)
{
    WindowDriver window(kSettings);
    window.Dialogs().nextChosenFile = std::nullopt;
    window.Click(QStringLiteral("cmdDatebasePath"));
    ASSERT_EQ(window.Dialogs().fileRequests.size(), 1);
    const FileDialogRequest request = window.Dialogs().fileRequests.constFirst();
    EXPECT_EQ(request.title, QStringLiteral("Preislisten Import - Datenbank"));
    EXPECT_EQ(request.filter, QStringLiteral("Preislisten-Datenbank (*.mdb)"));
    EXPECT_EQ(request.initialFile, QStringLiteral("/srv/telvoro/Numbers.mdb"));
    EXPECT_EQ(window.Form().DatabaseFile(), QStringLiteral("/srv/telvoro/Numbers.mdb"));

    window.Dialogs().nextChosenFile = QStringLiteral("/other/Numbers.mdb");
    window.Click(QStringLiteral("cmdDatebasePath"));
    EXPECT_EQ(window.Form().DatabaseFile(), QStringLiteral("/other/Numbers.mdb"));
    EXPECT_EQ(window.Text(QStringLiteral("txtDbFilename")), QStringLiteral("/other/Numbers.mdb"));
    EXPECT_EQ(window.Dialogs().fileRequests.last().initialFile, QStringLiteral("/srv/telvoro/Numbers.mdb"));
}

TEST(WindowFilePickers, PriceListPickerAndTheTextBoxThatOnlyShowsThePath)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkImport"));
    ASSERT_TRUE(window.Enabled(QStringLiteral("cmdFile")));
    window.Dialogs().nextChosenFile = QStringLiteral("/lists/März.csv");
    window.Click(QStringLiteral("cmdFile"));
    ASSERT_EQ(window.Dialogs().fileRequests.size(), 1);
    const FileDialogRequest request = window.Dialogs().fileRequests.constFirst();
    EXPECT_EQ(request.title, QStringLiteral("Preislisten Import - Preisliste"));
    EXPECT_EQ(request.filter, QStringLiteral("CSV-Datei (*.csv);;Alle Dateien (*)"));
    EXPECT_EQ(request.initialFile, QStringLiteral("/work/dir/preise.csv"));
    EXPECT_EQ(window.Form().PriceListFile(), QStringLiteral("/lists/März.csv"));
    EXPECT_EQ(window.Text(QStringLiteral("txtFileName")), QStringLiteral("/lists/März.csv"));

    // Typing into the boxes changes neither path.
    window.Enter(QStringLiteral("txtFileName"), QStringLiteral("/tmp/anders.csv"));
    window.Enter(QStringLiteral("txtDbFilename"), QStringLiteral("/tmp/anders.mdb"));
    EXPECT_EQ(window.Form().PriceListFile(), QStringLiteral("/lists/März.csv"));
    EXPECT_EQ(window.Form().DatabaseFile(), QStringLiteral("/srv/telvoro/Numbers.mdb"));
}

TEST(WindowClose, CloseButtonClosesTheIdleWindow)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("cmdClose"));
    EXPECT_FALSE(window.Form().isVisible());
}

} // namespace
} // namespace preisliste::test
