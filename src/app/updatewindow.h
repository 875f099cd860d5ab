#pragma once

#include "app/dialogs.h"
#include "app/windowsinks.h"
#include "app/statusrequest.h"
#include "common/currency.h"
#include "common/telvorosettings.h"
#include "pricing/pricingrule.h"
#include "pricing/rulefields.h"
#include "run/updaterun.h"

#include <QHash>
#include <QLocale>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QIcon;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;

namespace preisliste {

class FieldEdit;

// What the window takes from outside.
struct WindowEnvironment {
    TelvoroSettings settings;
    QString currentDirectory;          // for the default paths
    QLocale locale;                    // numbers, amounts and dates
    DialogPresenter *dialogs = nullptr; // not owned; nullptr: Qt's dialogs
    DownloadStatusProvider downloadStatus;
};

// The program's one window: the price-list source, the database, the pricing
// rule with its worked example, and the update run with progress and stop.
// All pricing is the rule's and the run's; the window only edits the rule,
// shows it and starts the run on a worker thread.
class UpdateWindow : public QWidget {
    Q_OBJECT
public:
    explicit UpdateWindow(WindowEnvironment environment, QWidget *parent = nullptr);
    ~UpdateWindow() override;

    // The first activation fills the window from the settings; later ones do
    // nothing. Called by the first show.
    void ActivateFirstTime();

    const PricingRule &Rule() const { return *pricingRule_; }
    const QString &DatabaseFile() const { return databaseFile_; }
    const QString &PriceListFile() const { return priceListFile_; }
    const QString &CustomerId() const { return customerId_; }
    bool PriceDownloadEnabled() const { return priceDownloadEnabled_; }
    bool ImportFileEnabled() const { return importFileEnabled_; }
    bool UpdateRunning() const { return updateRunning_; }
    Currency SampleNetBuying() const { return sampleNetBuying_; }
    Currency SampleOldSelling() const { return sampleOldSelling_; }
    std::optional<RunOutcome> LastRunOutcome() const { return lastRunOutcome_; }
    // Status requests sent and not yet answered: only the newest is kept.
    int PendingStatusRequests() const { return statusRequest_ ? 1 : 0; }

    // The program's icon, also the window's.
    static QIcon ProgramIcon();

    static const QString kCaption;
    static const QString kInstructionText;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // One rule value field: its text box and what the rule's table says
    // about the value in it.
    struct RuleField {
        FieldEdit *edit = nullptr;
        const RuleFieldDefinition *definition = nullptr;
        // Markup and margin convert into each other while the operator types.
        bool IsLive() const { return definition->unit == RuleUnit::Percent && definition->alsoSets; }
    };

    // Building the window.
    void CreateControls();
    void LinkLabelsToFields();
    void ArrangeControls();
    void ConnectHandlers();
    void DefineRuleFields();
    void WatchAllControls();
    FieldEdit *NewField(const char *name, const QString &text);
    QCheckBox *NewCheckBox(const char *name, const QString &caption);
    QLabel *NewLabel(const char *name, const QString &caption);
    QPushButton *NewButton(const char *name, const QString &caption, const QString &toolTip = {});
    QWidget *BuildSettingsFrame();
    QWidget *BuildCriteriaFrame();
    QWidget *BuildSampleFrame();

    void LoadStartState();
    void LoadSettings();
    void ShowRuleWarnings();
    void FillRuleFields();
    void cmdFile_Click();
    void cmdDatabasePath_Click();
    void cmdClose_Click();

    // Rule fields and worked example.
    QString DisplayText(const RuleField &field) const;
    bool ValidateRuleField(const RuleField &field);
    bool ApplyLiveText(const RuleField &field);
    void RuleFieldKeyUp(const RuleField &field);
    void SelectFieldText(QLineEdit *field, bool alert);
    void RefreshSample();
    bool txtSampleEk_Validate();
    bool txtSampleOldVk_Validate();
    void ShowSampleGross();
    void ShowNewPriceColour(bool changed);
    const RuleField *RuleFieldOf(const QObject *object) const;
    const RuleField &RuleFieldOf(RuleFieldId id) const;

    // Leaving a checked field: its check runs first, and a refusal keeps the
    // focus in it, so that no other control acts.
    bool IsCheckedField(const QWidget *widget) const;
    bool CheckField(QWidget *field);
    bool FieldEventFilter(QWidget *field, QEvent *event);
    bool FocusedFieldAccepts();

    // Switches and source selection.
    void optProfitMargin_Click(int index);
    void chkMinProfit_Click();
    void chkMinRate_Click();
    void chkUseOnAll_Click();
    void chkUseOnMargin_Click();
    void chkUseOnMarkup_Click();
    void chkUseOnProfit_Click();
    void chkUseOnSellRate_Click();
    void chkPriceDownload_Click();
    void chkImport_Click();
    bool txtKdId_Validate();
    void ShowDownloadStatus(const QString &customerId);
    void StopStatusRequests();

    // The update run.
    void cmdStart_Click();
    void StartRun(const RunRequest &request);
    void AskToTakeRefusedUpdate();
    void OnRunFinished();
    void ShowProgress(int overall, int action);
    void ShowRunMessage(MessageIcon icon, const QString &title, const QString &text, const QString &details);
    RunRequest BuildRunRequest() const;

    WindowEnvironment environment_;
    QtDialogPresenter qtDialogs_;
    DialogPresenter *dialogs_;
    QLocale locale_;

    std::unique_ptr<PricingRule> pricingRule_;
    QString databaseFile_;
    QString priceListFile_;
    QString customerId_;
    bool updateRunning_ = false;
    Currency sampleNetBuying_;
    Currency sampleOldSelling_;
    bool priceDownloadEnabled_ = false;
    bool importFileEnabled_ = false;
    bool switchingCriterion_ = false;
    bool activated_ = false;

    // Run state.
    WindowProgress progress_;
    WindowMessages messages_;
    QThread *runThread_ = nullptr;
    RunOutcome runOutcome_ = RunOutcome::Failed; // written by the worker, read after it ended
    RunReport runReport_;                        // likewise
    std::optional<RunRequest> runRequest_;       // of the run under way or the last one
    std::optional<RunOutcome> lastRunOutcome_;
    bool closeAfterRun_ = false;

    // The newest status request, while it is under way.
    std::unique_ptr<StatusRequest> statusRequest_;

    // The field whose focus a click took away and whose check is still due.
    QWidget *leftByClick_ = nullptr;
    QHash<const QObject *, RuleField> ruleFields_;
    QHash<RuleFieldId, FieldEdit *> ruleFieldEdits_;

    // Controls, named as the window has always named them.
    QLabel *instructionLabel_ = nullptr;
    QCheckBox *chkPriceDownload_ = nullptr;
    FieldEdit *txtKdId_ = nullptr;
    QLabel *lblDownloadDate_ = nullptr;
    QCheckBox *chkImport_ = nullptr;
    QLineEdit *txtFileName_ = nullptr;
    QPushButton *cmdFile_ = nullptr;
    QLabel *Label6_ = nullptr;
    QLineEdit *txtDbFilename_ = nullptr;
    QPushButton *cmdDatabasePath_ = nullptr;
    QGroupBox *fraEinstellungen_ = nullptr;
    QWidget *modeOptions_ = nullptr;
    QRadioButton *optProfitMargin_[3] = {};
    FieldEdit *txtMarkup_ = nullptr;
    FieldEdit *txtMargin_ = nullptr;
    FieldEdit *txtProfit_ = nullptr;
    QCheckBox *chkMinProfit_ = nullptr;
    FieldEdit *txtMinProfit_ = nullptr;
    QCheckBox *chkMinRate_ = nullptr;
    FieldEdit *txtMinSellRate_ = nullptr;
    QLabel *Label7_ = nullptr;
    FieldEdit *txtVAT_ = nullptr;
    QLabel *Label4_ = nullptr;
    FieldEdit *txtRoundUp_ = nullptr;
    QGroupBox *Frame1_ = nullptr;
    QCheckBox *chkUseOnAll_ = nullptr;
    QCheckBox *chkUseOnMargin_ = nullptr;
    FieldEdit *txtUseOnMargin_ = nullptr;
    QCheckBox *chkUseOnMarkup_ = nullptr;
    FieldEdit *txtUseOnMarkup_ = nullptr;
    QCheckBox *chkUseOnProfit_ = nullptr;
    FieldEdit *txtUseOnProfit_ = nullptr;
    QCheckBox *chkUseOnSellRate_ = nullptr;
    FieldEdit *txtUseOnSellRate_ = nullptr;
    QCheckBox *chkInternational_ = nullptr;
    QCheckBox *chkUseNotOnEdited_ = nullptr;
    QGroupBox *fraSample_ = nullptr;
    FieldEdit *txtSampleEk_ = nullptr;
    QLabel *lblSampleEkGross_ = nullptr;
    FieldEdit *txtSampleOldVk_ = nullptr;
    QLabel *lblSampleNewVk_ = nullptr;
    QLabel *lblSampleProfit_ = nullptr;
    QLabel *lblSampleMargin_ = nullptr;
    QLabel *lblSampleMarkup_ = nullptr;
    QLabel *Label1_ = nullptr;
    QProgressBar *ProgressBar2_ = nullptr;
    QLabel *Label2_ = nullptr;
    QProgressBar *ProgressBar1_ = nullptr;
    QPushButton *cmdClose_ = nullptr;
    QPushButton *cmdRecalc_ = nullptr;
    QPushButton *cmdStart_ = nullptr;
};

} // namespace preisliste
