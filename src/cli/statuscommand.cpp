#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "common/localeformat.h"
#include "common/telvorosettings.h"
#include "pricelist/downloadstatus.h"
#include "run/listchange.h"
#include "run/startupsettings.h"

#include <QDir>

namespace preisliste {

const QString kStatusUsage = QStringLiteral(
    "preisliste status [--db PFAD] [--customer-id ID] [--settings PFAD]\n"
    "  Fragt beim Preislisten-Server nach, ob und von wann eine Preisliste vorliegt.\n"
    "  --db PFAD        Tarifdatenbank, mit deren zuletzt übernommener Preisliste verglichen\n"
    "                   wird (Vorgabe: \"DB Path\" aus den Telvoro-Einstellungen)\n"
    "  --customer-id ID Kunden-ID (Vorgabe: \"ProviderAccountUserId\" aus den Telvoro-Einstellungen)\n"
    "  --settings PFAD  Telvoro-Einstellungen (Vorgabe: $TELVORO_SETTINGS, sonst\n"
    "                   ~/.config/Telvoro/Telvoro.ini)\n"
    "  Rückgabewert: 0 eine andere Preisliste als die zuletzt übernommene liegt vor,\n"
    "  2 es ist dieselbe (oder falscher Aufruf, auch: keine Kunden-ID), 1 keine Preisliste oder die\n"
    "  Anfrage schlug fehl.\n");

namespace {

// 0 for a list the database has not had yet, 2 for the one applied last. A
// history that cannot be read counts as new: an update too many does no harm.
int ExitCodeFor(const DownloadStatus &status, const QString &database)
{
    QString error;
    const ListNews news = CompareWithLastApplied(database, status.listId, status.sequence, error);
    if (news == ListNews::Unknown)
        WriteLine(stderr, QStringLiteral("Warnung: ") + error);
    return news == ListNews::AppliedLast ? kExitUsage : kExitOk;
}

} // namespace

// Prints the server's status text for the customer and, when there is a
// list, its List-ID and List-Sequence; the exit code says whether it is new
// to the database.
int Status(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption customerId(QStringLiteral("customer-id"), QStringLiteral("Kunden-ID"),
                                        QStringLiteral("ID"));
    const QCommandLineOption settingsFile(QStringLiteral("settings"), QStringLiteral("Einstellungen"),
                                          QStringLiteral("PFAD"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Tarifdatenbank"), QStringLiteral("PFAD"));
    parser.addOptions({db, customerId, settingsFile});
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
    QString database = parser.value(db);
    if (!parser.isSet(customerId) || !parser.isSet(db)) {
        const TelvoroSettings settings = ReadTelvoroSettings(parser.value(settingsFile));
        const StartupSettings startup = LoadSettings(settings, QDir::currentPath());
        if (!parser.isSet(customerId))
            id = startup.customerId;
        if (!parser.isSet(db))
            database = startup.databaseFile;
    }
    if (id.trimmed().isEmpty())
        return UsageError(kNoCustomerIdMessage);
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
    return ExitCodeFor(status, database);
}

} // namespace preisliste
