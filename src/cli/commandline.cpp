#include "cli/commandline.h"

#include "cli/consolesinks.h"
#include "cli/ruleoptions.h"
#include "common/localeformat.h"
#include "common/telvorosettings.h"
#include "db/backup.h"
#include "db/tariffdatabase.h"
#include "pricelist/downloadstatus.h"
#include "run/startupsettings.h"
#include "run/updaterun.h"

#include <QCommandLineParser>
#include <QDir>

namespace preisliste {

namespace {

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

const QString kStatusUsage = QStringLiteral(
    "preisliste status [--customer-id ID] [--settings PFAD]\n"
    "  Fragt beim Preislisten-Server nach, ob und von wann eine Preisliste vorliegt.\n"
    "  Exit-Code 0, wenn eine Preisliste vorliegt, sonst 1.\n");

const QString kInitDbUsage = QStringLiteral(
    "preisliste init-db PFAD\n"
    "  Legt eine leere Tarifdatenbank an; eine vorhandene Datei bleibt unberührt.\n");

const QString kBackupsUsage = QStringLiteral(
    "preisliste backups [--db PFAD] [--settings PFAD]\n"
    "  Listet die Sicherungen der Tarifdatenbank, die neueste zuerst.\n"
    "preisliste restore [--db PFAD] [--settings PFAD] [SICHERUNG]\n"
    "  Spielt die neueste (oder die genannte) Sicherung zurück; der Stand davor\n"
    "  wird selbst gesichert, so dass sich auch das rückgängig machen lässt.\n");

int UsageError(const QString &message)
{
    WriteLine(stderr, message);
    WriteLine(stderr, QStringLiteral("Hilfe: preisliste --help"));
    return kExitUsage;
}

// Parses the options after the command name; false after a usage message.
bool ParseOptions(QCommandLineParser &parser, const QStringList &arguments, int &exitCode)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Hilfe"));
    parser.addOption(help);
    if (!parser.parse(arguments)) {
        exitCode = UsageError(parser.errorText());
        return false;
    }
    return true;
}

int InitDatabase(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = kExitOk;
    if (!ParseOptions(parser, arguments, exitCode))
        return exitCode;
    if (parser.isSet(QStringLiteral("help"))) {
        WriteLine(stdout, kInitDbUsage);
        return kExitOk;
    }
    if (parser.positionalArguments().size() != 1)
        return UsageError(QStringLiteral("init-db erwartet genau einen Pfad.\n") + kInitDbUsage);
    const QString path = parser.positionalArguments().constFirst();
    const QString error = CreateTariffDatabase(path);
    if (!error.isEmpty()) {
        WriteLine(stderr, error);
        return kExitFailed;
    }
    WriteLine(stdout, QStringLiteral("Leere Tarifdatenbank %1 angelegt.").arg(path));
    return kExitOk;
}

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

    const TelvoroSettings settings = TelvoroSettings::FromFile(TelvoroSettings::LocateFile(parser.value(settingsFile)));
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

// The database of a command: --db, else "DB Path" of the settings (with the
// warning when there is none).
QString DatabaseOf(const QCommandLineParser &parser, const QCommandLineOption &db,
                   const QCommandLineOption &settingsFile)
{
    if (parser.isSet(db))
        return parser.value(db);
    const TelvoroSettings settings = TelvoroSettings::FromFile(TelvoroSettings::LocateFile(parser.value(settingsFile)));
    const StartupSettings startup = LoadSettings(settings, QDir::currentPath());
    if (startup.databasePathMissing)
        WriteLine(stderr, QStringLiteral("Warnung: ") + kNoDatabasePathMessage);
    return startup.databaseFile;
}

int BackupsOrRestore(const QStringList &arguments, bool restore)
{
    QCommandLineParser parser;
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Tarifdatenbank"), QStringLiteral("PFAD"));
    const QCommandLineOption settingsFile(QStringLiteral("settings"), QStringLiteral("Einstellungen"),
                                          QStringLiteral("PFAD"));
    parser.addOptions({db, settingsFile});
    int exitCode = kExitOk;
    if (!ParseOptions(parser, arguments, exitCode))
        return exitCode;
    if (parser.isSet(QStringLiteral("help"))) {
        WriteLine(stdout, kBackupsUsage);
        return kExitOk;
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.size() > (restore ? 1 : 0))
        return UsageError(QStringLiteral("Unerwartetes Argument: ") + rest.constLast());
    const QString database = DatabaseOf(parser, db, settingsFile);
    const QList<BackupInfo> backups = ListBackups(database);
    if (!restore) {
        if (backups.isEmpty())
            WriteLine(stdout, QStringLiteral("Keine Sicherungen von %1 in %2.").arg(database, BackupFolder(database)));
        const QLocale locale = UserLocale();
        for (const BackupInfo &backup : backups)
            WriteLine(stdout, QStringLiteral("%1  %2  %3 Tarifzeilen  %4")
                                  .arg(locale.toString(backup.created, QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                                       locale.formattedDataSize(backup.sizeBytes).rightJustified(10),
                                       backup.tariffRows < 0 ? QStringLiteral("?")
                                                             : locale.toString(backup.tariffRows),
                                       backup.path));
        return kExitOk;
    }
    if (rest.isEmpty() && backups.isEmpty()) {
        WriteLine(stderr, QStringLiteral("Es gibt keine Sicherung von %1.").arg(database));
        return kExitFailed;
    }
    const QString chosen = rest.isEmpty() ? backups.constFirst().path : rest.constFirst();
    const BackupResult result = RestoreTariffDatabase(database, chosen);
    if (!result.ok) {
        WriteLine(stderr, result.error);
        return kExitFailed;
    }
    WriteLine(stdout, QStringLiteral("Sicherung %1 zurückgespielt nach %2.\nDer Stand davor ist gesichert in %3.")
                          .arg(chosen, database, result.backupPath));
    return kExitOk;
}

// Prints the server's status text for the customer and, when there is a
// list, its List-ID and List-Sequence.
int Status(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption customerId(QStringLiteral("customer-id"), QStringLiteral("Kunden-ID"),
                                        QStringLiteral("ID"));
    const QCommandLineOption settingsFile(QStringLiteral("settings"), QStringLiteral("Einstellungen"),
                                          QStringLiteral("PFAD"));
    parser.addOptions({customerId, settingsFile});
    int exitCode = kExitOk;
    if (!ParseOptions(parser, arguments, exitCode))
        return exitCode;
    if (parser.isSet(QStringLiteral("help"))) {
        WriteLine(stdout, kStatusUsage);
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("Unerwartetes Argument: ") + parser.positionalArguments().constFirst());

    QString id = parser.value(customerId);
    if (!parser.isSet(customerId)) {
        const TelvoroSettings settings =
            TelvoroSettings::FromFile(TelvoroSettings::LocateFile(parser.value(settingsFile)));
        id = LoadSettings(settings, QDir::currentPath()).customerId;
    }
    const ConsoleProgressSink stop(false);
    const DownloadStatus status = RequestDownloadStatus(id, &stop);
    WriteLine(stdout, DownloadStatusText(status, UserLocale()));
    if (!status.hasList) {
        if (!status.failureReason.isEmpty())
            WriteLine(stderr, status.failureReason);
        return kExitFailed;
    }
    WriteLine(stdout, QStringLiteral("List-ID: ") + status.listId);
    WriteLine(stdout, QStringLiteral("List-Sequence: ") + QString::number(status.sequence));
    return kExitOk;
}

} // namespace

QString UsageText()
{
    return QStringLiteral("Aufruf:\n"
                          "preisliste                 öffnet das Fenster\n")
           + kUpdateUsage + kStatusUsage + kInitDbUsage + kBackupsUsage;
}

int RunCommandLine(const QStringList &arguments)
{
    if (arguments.size() < 2) {
        WriteLine(stdout, UsageText());
        return kExitOk;
    }
    const QString command = arguments.at(1);
    // QCommandLineParser expects a program name in front of the options.
    const QStringList rest = QStringList{arguments.at(0) + u' ' + command} + arguments.mid(2);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        WriteLine(stdout, UsageText());
        return kExitOk;
    }
    if (command == QLatin1String("update"))
        return Update(rest);
    if (command == QLatin1String("status"))
        return Status(rest);
    if (command == QLatin1String("init-db"))
        return InitDatabase(rest);
    if (command == QLatin1String("backups") || command == QLatin1String("restore"))
        return BackupsOrRestore(rest, command == QLatin1String("restore"));
    return UsageError(QStringLiteral("Unbekannter Befehl: ") + command);
}

} // namespace preisliste
