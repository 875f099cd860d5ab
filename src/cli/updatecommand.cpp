#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "cli/ruleoptions.h"
#include "common/localeformat.h"
#include "common/telvorosettings.h"
#include "run/startupsettings.h"
#include "run/updaterun.h"

#include <QDir>

namespace preisliste {

const QString kUpdateUsage = QStringLiteral(
    "preisliste update [--db PFAD] [--file PFAD | --download [--customer-id ID]] [--settings PFAD]\n"
    "  Bringt eine Preisliste in die Tarifdatenbank und berechnet die Verkaufspreise.\n"
    "  --db PFAD        Tarifdatenbank (Vorgabe: \"DB Path\" aus den Telvoro-Einstellungen)\n"
    "  --file PFAD      Preisliste (CSV oder Serverform); ohne --file und --download: keine Quelle\n"
    "  --download       Preisliste vom Preislisten-Server laden ($PREISLISTE_SERVER)\n"
    "  --customer-id ID Kunden-ID (Vorgabe: \"ProviderAccountUserId\" aus den Telvoro-Einstellungen)\n"
    "  --settings PFAD  Telvoro-Einstellungen (Vorgabe: $TELVORO_SETTINGS, sonst\n"
    "                   ~/.config/Telvoro/Telvoro.ini)\n"
    "  --no-backup      keine Sicherung vor dem Update (sonst im Ordner \"backups\"\n"
    "                   neben der Datenbank, die neuesten 10 bleiben)\n");

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
    parser.addOptions({db, file, settingsFile, download, customerId, noBackup});
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

    const TelvoroSettings settings = ReadTelvoroSettings(parser.value(settingsFile));
    const StartupSettings startup = LoadSettings(settings, QDir::currentPath());
    RunRequest request{.databaseFile = startup.databaseFile,
                       .priceListFile = startup.priceListFile,
                       .source = PriceListSource::None,
                       .customerId = startup.customerId,
                       .rule = CRecalcVk(settings)};
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
    }
    QString ruleError;
    if (!ApplyRuleOptions(parser, UserLocale(), request.rule, ruleError))
        return UsageError(ruleError);
    request.backupFirst = !parser.isSet(noBackup);
    for (const QString &warning : request.rule.Warnings())
        WriteLine(stderr, QStringLiteral("Warnung: ") + warning);

    ConsoleMessageSink messages;
    ConsoleProgressSink progress(ConsoleProgressSink::StderrIsTerminal());
    RunReport report;
    const RunOutcome outcome = RunUpdate(request, progress, messages, &report);
    if (!report.backupPath.isEmpty() && outcome == RunOutcome::Committed)
        WriteLine(stdout, QStringLiteral("Sicherung des vorigen Stands: ") + report.backupPath);
    if (outcome == RunOutcome::Stopped)
        WriteLine(stderr, QStringLiteral("Abgebrochen: Die Datenbank ist unverändert."));
    else if (outcome == RunOutcome::Failed && !report.downloadFailure.isEmpty())
        WriteLine(stderr, report.downloadFailure);
    return outcome == RunOutcome::Committed ? kExitOk : kExitFailed;
}

} // namespace preisliste
