#include "app/updatewindow.h"

#include "app/fieldedit.h"
#include "common/localeformat.h"
#include "run/startupsettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace preisliste {

namespace {

constexpr int kFieldWidth = 90;
constexpr int kPickerButtonWidth = 32;

const QString kChooseFileToolTip = QStringLiteral("Datei aussuchen");

} // namespace

const QString UpdateWindow::kCaption = QStringLiteral("Update Preisliste");

const QString UpdateWindow::kInstructionText =
    QStringLiteral("Die Telvoro Preisliste wird jetzt geupdated, indem die Datei 'Preise.csv' im selben "
                   "Verzeichnis wie dieses Programm übernommen wird. ")
    + QStringLiteral("Die Datei muss aus dem ZTP heruntergeladen werden!") + QStringLiteral("\n\n")
    + QStringLiteral("WICHTIG: Alle Angaben sind inklusive Umsatz-/Mehrwertsteuer (MwSt., brutto)!");

UpdateWindow::UpdateWindow(WindowEnvironment environment, QWidget *parent)
    : QWidget(parent), environment_(std::move(environment)),
      dialogs_(environment_.dialogs ? environment_.dialogs : &qtDialogs_), locale_(environment_.locale),
      progress_(this, [this](int overall, int action) { ShowProgress(overall, action); }),
      messages_(this, [this](MessageIcon icon, const QString &title, const QString &text, const QString &details) {
          ShowRunMessage(icon, title, text, details);
      })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setWindowIcon(ProgramIcon());
    CreateControls();
    LinkLabelsToFields();
    ArrangeControls();
    DefineRuleFields();
    ConnectHandlers();
    WatchAllControls();
    LoadStartState();
}

UpdateWindow::~UpdateWindow()
{
    // A run still under way is stopped and waited for: the worker must not
    // outlive the window it reports to. A status request is cancelled.
    progress_.RequestStop();
    messages_.Cancel();
    if (runThread_) {
        runThread_->wait();
        delete runThread_;
    }
    StopStatusRequests();
}

FieldEdit *UpdateWindow::NewField(const char *name, const QString &text)
{
    auto *edit = new FieldEdit(text, this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setFixedWidth(kFieldWidth);
    return edit;
}

QCheckBox *UpdateWindow::NewCheckBox(const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, this);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel *UpdateWindow::NewLabel(const char *name, const QString &caption)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QPushButton *UpdateWindow::NewButton(const char *name, const QString &caption, const QString &toolTip)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}

void UpdateWindow::CreateControls()
{
    instructionLabel_ = NewLabel("Label3", QString());
    instructionLabel_->setWordWrap(true);

    chkPriceDownload_ = NewCheckBox("chkPriceDownload", QStringLiteral("Preis-Download vom Server mit Kunden-ID:"));
    txtKdId_ = NewField("txtKdId", QStringLiteral("No ID"));
    txtKdId_->setFixedWidth(2 * kFieldWidth);
    txtKdId_->SetSelectOnFocus(false);
    lblDownloadDate_ = NewLabel("lblDownloadDate", QString());
    chkImport_ = NewCheckBox("chkImport", QStringLiteral("Import-Datei (CSV):"));
    txtFileName_ = new QLineEdit(QStringLiteral("Preise.csv"), this);
    txtFileName_->setObjectName(QStringLiteral("txtFileName"));
    cmdFile_ = NewButton("cmdFile", QStringLiteral("..."), kChooseFileToolTip);
    cmdFile_->setFixedWidth(kPickerButtonWidth);
    Label6_ = NewLabel("Label6", QStringLiteral("Datenbank-Datei:"));
    txtDbFilename_ = new QLineEdit(QStringLiteral("Numbers.mdb"), this);
    txtDbFilename_->setObjectName(QStringLiteral("txtDbFilename"));
    cmdDatabasePath_ = NewButton("cmdDatebasePath", QStringLiteral("..."), kChooseFileToolTip);
    cmdDatabasePath_->setFixedWidth(kPickerButtonWidth);

    fraEinstellungen_ = new QGroupBox(QStringLiteral("Einstellungen"), this);
    fraEinstellungen_->setObjectName(QStringLiteral("fraEinstellungen"));
    modeOptions_ = new QWidget(fraEinstellungen_);
    modeOptions_->setObjectName(QStringLiteral("Picture1"));
    const QString optionCaptions[3] = {QStringLiteral("Aufschlag auf EK [%]:"), QStringLiteral("Marge vom VK [%]:"),
                                       QStringLiteral("Profit / Gewinn [€]")};
    for (int index = 0; index < 3; ++index) {
        optProfitMargin_[index] = new QRadioButton(optionCaptions[index], modeOptions_);
        optProfitMargin_[index]->setObjectName(QStringLiteral("optProfitMargin%1").arg(index));
    }
    txtMarkup_ = NewField("txtMarkup", QStringLiteral("60,0%"));
    txtMargin_ = NewField("txtMargin", QStringLiteral("37,5%"));
    txtProfit_ = NewField("txtProfit", QStringLiteral("0,05 €"));
    chkMinProfit_ = NewCheckBox("chkMinProfit", QStringLiteral("Minimaler Profit (€):"));
    txtMinProfit_ = NewField("txtMinProfit", QStringLiteral("0,05 €"));
    chkMinRate_ = NewCheckBox("chkMinRate", QStringLiteral("Minimaler Minutenpreis:"));
    txtMinSellRate_ = NewField("txtMinSellRate", QStringLiteral("0,10 €"));
    Label7_ = NewLabel("Label7", QStringLiteral("Mehrwertsteuer"));
    txtVAT_ = NewField("txtVAT", QStringLiteral("19%"));
    txtVAT_->SetSelectOnFocus(false);
    Label4_ = NewLabel("Label4", QStringLiteral("Aufrunden auf ganze Cent über... z.B. 0,0020 -> 0,00 ; 0,0021 -> 0,01"));
    Label4_->setWordWrap(true);
    txtRoundUp_ = NewField("txtRoundUp", QStringLiteral("0,002"));

    Frame1_ = new QGroupBox(QStringLiteral("Anwendung..."), this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    chkUseOnAll_ = NewCheckBox("chkUseOnAll", QStringLiteral("...auf alle Einträge."));
    chkUseOnAll_->setChecked(true);
    chkUseOnMargin_ = NewCheckBox("chkUseOnMargin", QStringLiteral("...wo Marge vom VK weniger als"));
    txtUseOnMargin_ = NewField("txtUseOnMargin", QStringLiteral("20%"));
    chkUseOnMarkup_ = NewCheckBox("chkUseOnMarkup", QStringLiteral("...wo Aufschlag auf EK unter "));
    txtUseOnMarkup_ = NewField("txtUseOnMarkup", QStringLiteral("10%"));
    chkUseOnProfit_ = NewCheckBox("chkUseOnProfit", QStringLiteral("...wo Profit weniger als "));
    txtUseOnProfit_ = NewField("txtUseOnProfit", QStringLiteral("0,05 €"));
    chkUseOnSellRate_ = NewCheckBox("chkUseOnSellRate", QStringLiteral("...wo VK-Preis unter"));
    txtUseOnSellRate_ = NewField("txtUseOnSellRate", QStringLiteral("0,10 €"));
    chkInternational_ = NewCheckBox("chkInternational", QStringLiteral("Nur Internationale Destinationen"));
    chkInternational_->setEnabled(false);
    chkUseNotOnEdited_ = NewCheckBox("chkUseNotOnEdited", QStringLiteral("NICHT auf selbst eingestellte Preise"));
    chkUseNotOnEdited_->setEnabled(false);

    fraSample_ = new QGroupBox(QStringLiteral("Beispiel:"), this);
    fraSample_->setObjectName(QStringLiteral("fraSample"));
    txtSampleEk_ = NewField("txtSampleEk", QStringLiteral("0,1290 €"));
    lblSampleEkGross_ = NewLabel("lblSampleEkGross", QStringLiteral("0,1535 €"));
    txtSampleOldVk_ = NewField("txtSampleOldVk", QStringLiteral("0,23 €"));
    lblSampleNewVk_ = NewLabel("lblSampleNewVk", QStringLiteral("0,29 €"));
    lblSampleProfit_ = NewLabel("lblSampleProfit", QStringLiteral("0,0765 €"));
    lblSampleMargin_ = NewLabel("lblSampleMargin", QStringLiteral("33,3%"));
    lblSampleMarkup_ = NewLabel("lblSampleMarkup", QStringLiteral("49,8%"));

    Label1_ = NewLabel("Label1", QStringLiteral("Fortschritt Aktion:"));
    ProgressBar2_ = new QProgressBar(this);
    ProgressBar2_->setObjectName(QStringLiteral("ProgressBar2"));
    Label2_ = NewLabel("Label2", QStringLiteral("Fortschritt gesamt:"));
    ProgressBar1_ = new QProgressBar(this);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    for (QProgressBar *bar : {ProgressBar1_, ProgressBar2_}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }

    cmdClose_ = NewButton("cmdClose", QStringLiteral("&Schließen"));
    cmdRecalc_ = NewButton("cmdRecalc", QStringLiteral("Neu &Berechnen"));
    cmdStart_ = NewButton("cmdStart", QStringLiteral("&Start"));
}

QIcon UpdateWindow::ProgramIcon()
{
    // Pictures rendered from the scalable icon: PNG needs no image plugin.
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/preisliste-48.png"), QSize(48, 48));
    icon.addFile(QStringLiteral(":/icons/preisliste-256.png"), QSize(256, 256));
    return icon;
}

// Screen readers name a field by its label. A label names its field as its
// buddy; a field beside a check box or an option button gets that caption
// as its accessible name.
void UpdateWindow::LinkLabelsToFields()
{
    Label6_->setBuddy(txtDbFilename_);
    Label7_->setBuddy(txtVAT_);
    Label4_->setBuddy(txtRoundUp_);
    Label1_->setBuddy(ProgressBar2_);
    Label2_->setBuddy(ProgressBar1_);
    const std::pair<QAbstractButton *, QWidget *> besideButtons[] = {
        {chkPriceDownload_, txtKdId_},        {chkImport_, txtFileName_},
        {optProfitMargin_[0], txtMarkup_},    {optProfitMargin_[1], txtMargin_},
        {optProfitMargin_[2], txtProfit_},    {chkMinProfit_, txtMinProfit_},
        {chkMinRate_, txtMinSellRate_},       {chkUseOnMargin_, txtUseOnMargin_},
        {chkUseOnMarkup_, txtUseOnMarkup_},   {chkUseOnProfit_, txtUseOnProfit_},
        {chkUseOnSellRate_, txtUseOnSellRate_}};
    for (const auto &[button, field] : besideButtons)
        field->setAccessibleName(button->text().remove(u'&').trimmed());
    cmdFile_->setAccessibleName(QStringLiteral("Preisliste aussuchen"));
    cmdDatabasePath_->setAccessibleName(QStringLiteral("Datenbank aussuchen"));
}

QWidget *UpdateWindow::BuildSettingsFrame()
{
    auto *options = new QGridLayout(modeOptions_);
    options->setContentsMargins(0, 0, 0, 0);
    options->setColumnStretch(0, 1);
    FieldEdit *optionFields[3] = {txtMarkup_, txtMargin_, txtProfit_};
    for (int index = 0; index < 3; ++index) {
        options->addWidget(optProfitMargin_[index], index, 0);
        options->addWidget(optionFields[index], index, 1);
    }

    auto *grid = new QGridLayout(fraEinstellungen_);
    grid->setColumnStretch(0, 1);
    grid->addWidget(modeOptions_, 0, 0, 1, 2);
    grid->addWidget(chkMinProfit_, 1, 0);
    grid->addWidget(txtMinProfit_, 1, 1);
    grid->addWidget(chkMinRate_, 2, 0);
    grid->addWidget(txtMinSellRate_, 2, 1);
    grid->addWidget(Label7_, 3, 0);
    grid->addWidget(txtVAT_, 3, 1);
    grid->addWidget(Label4_, 4, 0);
    grid->addWidget(txtRoundUp_, 4, 1, Qt::AlignVCenter);
    grid->setRowStretch(5, 1);
    return fraEinstellungen_;
}

QWidget *UpdateWindow::BuildCriteriaFrame()
{
    auto *grid = new QGridLayout(Frame1_);
    grid->setColumnStretch(0, 1);
    grid->addWidget(chkUseOnAll_, 0, 0, 1, 2);
    const std::pair<QCheckBox *, FieldEdit *> criteria[] = {{chkUseOnMargin_, txtUseOnMargin_},
                                                            {chkUseOnMarkup_, txtUseOnMarkup_},
                                                            {chkUseOnProfit_, txtUseOnProfit_},
                                                            {chkUseOnSellRate_, txtUseOnSellRate_}};
    int row = 1;
    for (const auto &[box, field] : criteria) {
        grid->addWidget(box, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    }
    grid->addWidget(chkInternational_, row++, 0, 1, 2);
    grid->addWidget(chkUseNotOnEdited_, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    return Frame1_;
}

QWidget *UpdateWindow::BuildSampleFrame()
{
    auto *grid = new QGridLayout(fraSample_);
    grid->setHorizontalSpacing(8);
    auto caption = [this](const char *name, const QString &text, QWidget *buddy = nullptr) {
        QLabel *label = NewLabel(name, text);
        label->setParent(fraSample_);
        label->setBuddy(buddy);
        return label;
    };
    grid->addWidget(caption("lblSampleEkCaption", QStringLiteral("Einkauf netto:"), txtSampleEk_), 0, 0);
    grid->addWidget(txtSampleEk_, 0, 1);
    grid->addWidget(caption("lblSampleEkGrossCaption", QStringLiteral("Einkauf brutto:")), 0, 2);
    grid->addWidget(lblSampleEkGross_, 0, 3);
    grid->addWidget(caption("lblSampleOldVkCaption", QStringLiteral("alter Verkaufspreis (brutto):"), txtSampleOldVk_),
                    1, 0);
    grid->addWidget(txtSampleOldVk_, 1, 1);
    grid->addWidget(caption("lblSampleNewVkCaption", QStringLiteral("neuer Verkaufspreis:")), 1, 2);
    grid->addWidget(lblSampleNewVk_, 1, 3);
    grid->addWidget(caption("lblSampleProfitCaption", QStringLiteral("Gewinn:")), 2, 0);
    grid->addWidget(lblSampleProfit_, 2, 1);
    grid->addWidget(caption("lblSampleMarginCaption", QStringLiteral("Marge:")), 2, 2);
    grid->addWidget(lblSampleMargin_, 2, 3);
    grid->addWidget(caption("lblSampleMarkupCaption", QStringLiteral("Aufschlag:")), 2, 4);
    grid->addWidget(lblSampleMarkup_, 2, 5);
    grid->setColumnStretch(6, 1);
    return fraSample_;
}

void UpdateWindow::ArrangeControls()
{
    auto *sources = new QGridLayout;
    sources->setColumnStretch(1, 1);
    auto *customer = new QHBoxLayout;
    customer->addWidget(txtKdId_);
    customer->addWidget(lblDownloadDate_, 1);
    sources->addWidget(chkPriceDownload_, 0, 0);
    sources->addLayout(customer, 0, 1, 1, 2);
    sources->addWidget(chkImport_, 1, 0);
    sources->addWidget(txtFileName_, 1, 1);
    sources->addWidget(cmdFile_, 1, 2);
    sources->addWidget(Label6_, 2, 0);
    sources->addWidget(txtDbFilename_, 2, 1);
    sources->addWidget(cmdDatabasePath_, 2, 2);

    auto *frames = new QHBoxLayout;
    frames->addWidget(BuildSettingsFrame(), 1);
    frames->addWidget(BuildCriteriaFrame(), 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdClose_);
    buttons->addStretch(1);
    buttons->addWidget(cmdRecalc_);
    buttons->addWidget(cmdStart_);

    auto *window = new QVBoxLayout(this);
    window->setSizeConstraint(QLayout::SetFixedSize);
    window->addWidget(instructionLabel_);
    window->addLayout(sources);
    window->addLayout(frames);
    window->addWidget(BuildSampleFrame());
    window->addWidget(Label1_);
    window->addWidget(ProgressBar2_);
    window->addWidget(Label2_);
    window->addWidget(ProgressBar1_);
    window->addLayout(buttons);

    // Tab follows the arrangement, top to bottom and left to right.
    const QList<QWidget *> tabOrder = {
        chkPriceDownload_, txtKdId_, chkImport_, txtFileName_, cmdFile_, txtDbFilename_, cmdDatabasePath_,
        optProfitMargin_[0], txtMarkup_, optProfitMargin_[1], txtMargin_, optProfitMargin_[2], txtProfit_,
        chkMinProfit_, txtMinProfit_, chkMinRate_, txtMinSellRate_, txtVAT_, txtRoundUp_, chkUseOnAll_,
        chkUseOnMargin_, txtUseOnMargin_, chkUseOnMarkup_, txtUseOnMarkup_, chkUseOnProfit_, txtUseOnProfit_,
        chkUseOnSellRate_, txtUseOnSellRate_, chkInternational_, chkUseNotOnEdited_, txtSampleEk_, txtSampleOldVk_,
        cmdClose_, cmdRecalc_, cmdStart_};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));
}

void UpdateWindow::ConnectHandlers()
{
    connect(cmdFile_, &QPushButton::clicked, this, &UpdateWindow::cmdFile_Click);
    connect(cmdDatabasePath_, &QPushButton::clicked, this, &UpdateWindow::cmdDatabasePath_Click);
    connect(cmdClose_, &QPushButton::clicked, this, &UpdateWindow::cmdClose_Click);
    connect(cmdStart_, &QPushButton::clicked, this, &UpdateWindow::cmdStart_Click);
    // cmdRecalc has no action.

    // A box's handler runs whenever its value changes, by a click or by
    // another handler, as the switches rely on.
    for (int index = 0; index < 3; ++index) {
        connect(optProfitMargin_[index], &QRadioButton::toggled, this, [this, index](bool on) {
            if (on)
                optProfitMargin_Click(index);
        });
    }
    connect(chkMinProfit_, &QCheckBox::toggled, this, &UpdateWindow::chkMinProfit_Click);
    connect(chkMinRate_, &QCheckBox::toggled, this, &UpdateWindow::chkMinRate_Click);
    connect(chkUseOnAll_, &QCheckBox::toggled, this, &UpdateWindow::chkUseOnAll_Click);
    connect(chkUseOnMargin_, &QCheckBox::toggled, this, &UpdateWindow::chkUseOnMargin_Click);
    connect(chkUseOnMarkup_, &QCheckBox::toggled, this, &UpdateWindow::chkUseOnMarkup_Click);
    connect(chkUseOnProfit_, &QCheckBox::toggled, this, &UpdateWindow::chkUseOnProfit_Click);
    connect(chkUseOnSellRate_, &QCheckBox::toggled, this, &UpdateWindow::chkUseOnSellRate_Click);
    connect(chkInternational_, &QCheckBox::toggled, this, &UpdateWindow::RefreshSample);
    connect(chkUseNotOnEdited_, &QCheckBox::toggled, this, &UpdateWindow::RefreshSample);
    connect(chkPriceDownload_, &QCheckBox::toggled, this, &UpdateWindow::chkPriceDownload_Click);
    connect(chkImport_, &QCheckBox::toggled, this, &UpdateWindow::chkImport_Click);
}

void UpdateWindow::WatchAllControls()
{
    const QList<QWidget *> controls = findChildren<QWidget *>();
    for (QWidget *control : controls)
        control->installEventFilter(this);
}

void UpdateWindow::LoadStartState()
{
    pricingRule_ = std::make_unique<PricingRule>(environment_.settings);
    sampleOldSelling_ = Currency::FromUnits(2300);
    sampleNetBuying_ = Currency::FromUnits(1290);
    ProgressBar1_->setValue(0);
    ProgressBar2_->setValue(0);
    instructionLabel_->setText(kInstructionText);
}

bool UpdateWindow::event(QEvent *event)
{
    if (event->type() == QEvent::Show && !activated_) {
        // The window appears first; the lookups run once it is on screen.
        QTimer::singleShot(0, this, &UpdateWindow::ActivateFirstTime);
    } else if (event->type() == QEvent::WindowActivate && isVisible()) {
        ActivateFirstTime();
    }
    return QWidget::event(event);
}

void UpdateWindow::ActivateFirstTime()
{
    // Set first: the message boxes below re-activate the window on closing.
    if (std::exchange(activated_, true))
        return;
    repaint();
    LoadSettings();
    ShowRuleWarnings();
    txtFileName_->setText(priceListFile_);
    txtDbFilename_->setText(databaseFile_);
    txtKdId_->setText(customerId_);
    FillRuleFields();
    chkUseOnAll_Click();
    chkMinRate_Click();
    chkMinProfit_Click();
    optProfitMargin_[0]->setChecked(true);
    RuleFieldKeyUp(ruleFields_.value(txtMarkup_));
    chkImport_->setChecked(true);
    chkPriceDownload_->setChecked(true);
    RefreshSample();
}

void UpdateWindow::LoadSettings()
{
    const StartupSettings startup = preisliste::LoadSettings(environment_.settings, environment_.currentDirectory);
    if (startup.databasePathMissing)
        dialogs_->ShowMessage(this, MessageIcon::Error, kProgramTitle, kNoDatabasePathMessage);
    databaseFile_ = startup.databaseFile;
    priceListFile_ = startup.priceListFile;
    customerId_ = startup.customerId;
}

void UpdateWindow::ShowRuleWarnings()
{
    const QStringList &warnings = pricingRule_->Warnings();
    if (!warnings.isEmpty())
        dialogs_->ShowMessage(this, MessageIcon::Warning, kProgramTitle, warnings.join(u'\n'));
}

void UpdateWindow::FillRuleFields()
{
    for (const RuleField &field : std::as_const(ruleFields_))
        field.edit->setText(DisplayText(field));
}

void UpdateWindow::cmdDatabasePath_Click()
{
    if (!FocusedFieldAccepts())
        return;
    const FileDialogRequest request{.title = QStringLiteral("Preislisten Import - Datenbank"),
                                    .filter = QStringLiteral("Preislisten-Datenbank (*.mdb)"),
                                    .initialFile = databaseFile_};
    if (const std::optional<QString> chosen = dialogs_->ChooseFile(this, request)) {
        databaseFile_ = *chosen;
        txtDbFilename_->setText(databaseFile_);
    }
}

void UpdateWindow::cmdFile_Click()
{
    if (!FocusedFieldAccepts())
        return;
    const FileDialogRequest request{.title = QStringLiteral("Preislisten Import - Preisliste"),
                                    .filter = QStringLiteral("CSV-Datei (*.csv);;Alle Dateien (*)"),
                                    .initialFile = priceListFile_};
    if (const std::optional<QString> chosen = dialogs_->ChooseFile(this, request)) {
        priceListFile_ = *chosen;
        txtFileName_->setText(priceListFile_);
    }
}

void UpdateWindow::cmdClose_Click()
{
    if (updateRunning_ || !FocusedFieldAccepts())
        return;
    close();
}

void UpdateWindow::closeEvent(QCloseEvent *event)
{
    if (!updateRunning_) {
        StopStatusRequests();
        event->accept();
        return;
    }
    // The run is stopped and rolled back first; the window closes when the
    // worker has finished.
    closeAfterRun_ = true;
    progress_.RequestStop();
    event->ignore();
}

} // namespace preisliste
