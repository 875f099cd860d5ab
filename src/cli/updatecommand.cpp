#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolereport.h"
#include "cli/consolesinks.h"
#include "cli/ruleoptions.h"
#include "common/localeformat.h"
#include "common/telvorosettings.h"
#include "run/startupsettings.h"
#include "run/updaterun.h"

#include <QDir>

namespace preisliste {

const QString kUpdateUsage = QStringLiteral(
    "preisliste update [--db PFAD] [--file PFAD | --download [--customer-id ID]] [--if-changed [--now]]\n"
    "                  [--settings PFAD] [--quiet]\n"
    "  Bringt eine Preisliste in die Tarifdatenbank und berechnet die Verkaufspreise.\n"
    "  --db PFAD        Tarifdatenbank (Vorgabe: \"DB Path\" aus den Telvoro-Einstellungen)\n"
    "  --file PFAD      Preisliste (CSV oder Serverform); ohne --file und --download: keine Quelle\n"
    "  --download       Preisliste vom Preislisten-Server laden ($PREISLISTE_SERVER)\n"
    "  --customer-id ID Kunden-ID (Vorgabe: \"ProviderAccountUserId\" aus den Telvoro-Einstellungen)\n"
    "  --settings PFAD  Telvoro-Einstellungen (Vorgabe: $TELVORO_SETTINGS, sonst\n"
    "                   ~/.config/Telvoro/Telvoro.ini)\n"
    "  --no-backup      keine Sicherung vor dem Update (sonst im Ordner \"backups\"\n"
    "                   neben der Datenbank, die neuesten 10 bleiben, mit ihrem Bericht)\n"
    "  --dry-run        Probelauf: alles wie beim Update, auch Statistik und Bericht,\n"
    "                   dann zurückgenommen; keine Sicherung, die Datenbank bleibt unverändert\n"
    "  --report DATEI   den ganzen Änderungsbericht als CSV (Excel, LibreOffice) schreiben\n"
    "  --quiet          für cron und systemd: kein Fortschritt, keine Statistik, kein Bericht;\n"
    "                   nur Warnungen, Fehler und nach dem Speichern eine Zeile\n"
    "  --max-removed PROZENT\n"
    "                   höchstens so viel Prozent der Tarifzeilen darf ein Update\n"
    "                   entfernen, sonst wird es nicht übernommen (Vorgabe 10, 100: keine Grenze)\n"
    "  --if-changed     nur eine neue Preisliste übernehmen: beim Download nach List-ID und\n"
    "                   List-Sequence, bei --file nach SHA-256 der Datei, verglichen mit dem\n"
    "                   letzten gespeicherten Update; eine Liste, die erst künftig gilt\n"
    "                   (Effective), erst ab dann\n"
    "  --now            mit --if-changed: eine erst künftig gültige Liste sofort übernehmen\n"
    "  Jedes Update steht danach im Verlauf (preisliste history).\n"
    "  Rückgabewert: 0 gespeichert (beim Probelauf: wäre gespeichert worden), mit --if-changed\n"
    "  auch: unverändert oder noch nicht gültig, nichts getan; 1 fehlgeschlagen, abgebrochen\n"
    "  oder abgelehnt; 2 falscher Aufruf (auch: --download ohne Kunden-ID).\n");

namespace {

// The list a run only if changed has found nothing to do for: by its List-ID
// where it has one, else the file by its digest.
QString ListNamed(const RunRequest &request, const RunReport &report)
{
    if (!report.listId.isEmpty() || request.source == PriceListSource::Download)
        return QStringLiteral("List-ID %1, Sequenz %2").arg(report.listId).arg(report.listSequence.value_or(0));
    return QStringLiteral("Datei %1, SHA-256 %2…").arg(request.priceListFile, report.listSha256.left(12));
}

QString NothingToDoText(const RunRequest &request, RunOutcome outcome, const RunReport &report)
{
    if (outcome == RunOutcome::Unchanged)
        return QStringLiteral("Preisliste unverändert (%1) – nichts zu tun.").arg(ListNamed(request, report));
    return QStringLiteral("Preisliste gilt erst ab %1 Uhr (%2) – sie wird erst dann übernommen, sofort mit --now.")
        .arg(UserLocale().toString(*report.effective, QStringLiteral("dd.MM.yyyy HH:mm")), ListNamed(request, report));
}

// What the run's messages have not said: the report, where the backup and
// the report went, why nothing was kept. Quietly, only problems and one line
// for a committed update.
void TellOutcome(const RunRequest &request, RunOutcome outcome, const RunReport &report, bool quiet)
{
    const bool showReport = outcome == RunOutcome::Committed || (request.dryRun && outcome != RunOutcome::Failed
                                                                 && outcome != RunOutcome::Stopped);
    switch (outcome) {
    case RunOutcome::Committed:
        if (quiet) {
            WriteLine(stdout, CommittedSummaryLine(report.changes->counts, report.backupPath));
            break;
        }
        if (!report.backupPath.isEmpty())
            WriteLine(stdout, QStringLiteral("Sicherung des vorigen Stands: ") + report.backupPath);
        if (!report.keptReportPath.isEmpty())
            WriteLine(stdout, QStringLiteral("Bericht zur Sicherung: ") + report.keptReportPath);
        break;
    case RunOutcome::DryRunDone:
        if (!quiet)
            WriteLine(stdout, QStringLiteral("Probelauf: Nichts wurde gespeichert, die Datenbank ist unverändert."));
        break;
    case RunOutcome::Refused:
        WriteLine(stderr, RemovedRowsText(report.changes->counts, request.maxRemovedPercent)
                              + QStringLiteral("\nDas Update wurde nicht übernommen, die Datenbank ist unverändert. "
                                               "Soll es trotzdem übernommen werden: --max-removed 100"));
        break;
    case RunOutcome::Stopped:
        WriteLine(stderr, QStringLiteral("Abgebrochen: Die Datenbank ist unverändert."));
        break;
    case RunOutcome::Failed:
        if (!report.downloadFailure.isEmpty())
            WriteLine(stderr, report.downloadFailure);
        break;
    case RunOutcome::Unchanged:
    case RunOutcome::NotYetEffective:
        // Nothing happened: a timer's quiet run says nothing about it.
        if (!quiet)
            WriteLine(stdout, NothingToDoText(request, outcome, report));
        break;
    }
    if (!showReport)
        return;
    if (quiet) {
        if (report.changes)
            PrintChangeReportWarnings(*report.changes);
        return;
    }
    if (!request.reportFile.isEmpty())
        WriteLine(stdout, QStringLiteral("Bericht: ") + request.reportFile);
    if (report.changes)
        PrintChangeReport(*report.changes);
}

} // namespace

int Update(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Tarifdatenbank"), QStringLiteral("PFAD"));
    const QCommandLineOption file(QStringLiteral("file"), QStringLiteral("Preisliste"), QStringLiteral("PFAD"));
    const QCommandLineOption settingsFile(QStringLiteral("settings"), QStringLiteral("Einstellungen"),
                                          QStringLiteral("PFAD"));
    const QCommandLineOption download(QStringLiteral("download"), QStringLiteral("Download"));
    const QCommandLineOption customerId(QStringLiteral("customer-id"), QStringLiteral("Kunden-ID"),
                                        QStringLiteral("ID"));
    const QCommandLineOption noBackup(QStringLiteral("no-backup"), QStringLiteral("ohne Sicherung"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QStringLiteral("Probelauf"));
    const QCommandLineOption reportFile(QStringLiteral("report"), QStringLiteral("Bericht"), QStringLiteral("DATEI"));
    const QCommandLineOption maxRemoved(QStringLiteral("max-removed"), QStringLiteral("Entfernen höchstens"),
                                        QStringLiteral("PROZENT"));
    const QCommandLineOption ifChanged(QStringLiteral("if-changed"), QStringLiteral("nur wenn neu"));
    const QCommandLineOption now(QStringLiteral("now"), QStringLiteral("sofort"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("still"));
    parser.addOptions({db, file, settingsFile, download, customerId, noBackup, dryRun, reportFile, maxRemoved,
                       ifChanged, now, quiet});
    AddRuleOptions(parser);
    int exitCode = kExitOk;
    if (!ParseOptions(parser, arguments, exitCode))
        return exitCode;
    if (parser.isSet(QStringLiteral("help"))) {
        WriteLine(stdout, kUpdateUsage + RuleOptionsUsage());
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("Unerwartetes Argument: ") + parser.positionalArguments().constFirst());
    if (parser.isSet(download) && parser.isSet(file))
        return UsageError(QStringLiteral("--file und --download schließen einander aus."));
    if (parser.isSet(customerId) && !parser.isSet(download))
        return UsageError(QStringLiteral("--customer-id gilt nur zusammen mit --download."));
    if (parser.isSet(ifChanged) && !parser.isSet(download) && !parser.isSet(file))
        return UsageError(QStringLiteral("--if-changed vergleicht eine Preisliste: bitte --file oder --download angeben."));
    if (parser.isSet(now) && !parser.isSet(ifChanged))
        return UsageError(QStringLiteral("--now gilt nur zusammen mit --if-changed."));

    const TelvoroSettings settings = ReadTelvoroSettings(parser.value(settingsFile));
    const StartupSettings startup = LoadSettings(settings, QDir::currentPath());
    RunRequest request{.databaseFile = startup.databaseFile,
                       .priceListFile = startup.priceListFile,
                       .source = PriceListSource::None,
                       .customerId = startup.customerId,
                       .rule = PricingRule(settings)};
    if (parser.isSet(db)) {
        request.databaseFile = parser.value(db);
    } else if (startup.databasePathMissing) {
        WriteLine(stderr, QStringLiteral("Warnung: ") + kNoDatabasePathMessage);
    }
    if (parser.isSet(file)) {
        request.priceListFile = parser.value(file);
        request.source = PriceListSource::LocalFile;
    }
    if (parser.isSet(download)) {
        request.source = PriceListSource::Download;
        if (parser.isSet(customerId))
            request.customerId = parser.value(customerId);
        if (request.customerId.trimmed().isEmpty())
            return UsageError(kNoCustomerIdMessage);
    }
    QString ruleError;
    if (!ApplyRuleOptions(parser, UserLocale(), request.rule, ruleError))
        return UsageError(ruleError);
    request.backupFirst = !parser.isSet(noBackup);
    request.dryRun = parser.isSet(dryRun);
    request.reportFile = parser.value(reportFile);
    request.onlyIfChanged = parser.isSet(ifChanged);
    request.applyNow = parser.isSet(now);
    if (parser.isSet(maxRemoved)) {
        const std::optional<double> share = ParsePercent(parser.value(maxRemoved), UserLocale());
        if (!share || *share < 0.0 || *share > 1.0)
            return UsageError(QStringLiteral("--max-removed erwartet einen Anteil von 0 bis 100 Prozent, nicht „%1“.")
                                  .arg(parser.value(maxRemoved)));
        request.maxRemovedPercent = *share * 100.0;
    }
    for (const QString &warning : request.rule.Warnings())
        WriteLine(stderr, QStringLiteral("Warnung: ") + warning);

    const bool isQuiet = parser.isSet(quiet);
    ConsoleMessageSink messages = isQuiet ? ConsoleMessageSink::Quiet() : ConsoleMessageSink();
    ConsoleProgressSink progress(!isQuiet && ConsoleProgressSink::StderrIsTerminal());
    RunReport report;
    const RunOutcome outcome = RunUpdate(request, progress, messages, &report);
    TellOutcome(request, outcome, report, isQuiet);
    const bool succeeded = outcome == RunOutcome::Committed || outcome == RunOutcome::DryRunDone
                           || outcome == RunOutcome::Unchanged || outcome == RunOutcome::NotYetEffective;
    return succeeded ? kExitOk : kExitFailed;
}

} // namespace preisliste
