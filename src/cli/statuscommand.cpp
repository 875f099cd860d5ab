#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "common/localeformat.h"
#include "common/telvorosettings.h"
#include "pricelist/downloadstatus.h"
#include "run/startupsettings.h"

#include <QDir>

namespace preisliste {

const QString kStatusUsage = QStringLiteral(
    "preisliste status [--customer-id ID] [--settings PFAD]\n"
    "  Fragt beim Preislisten-Server nach, ob und von wann eine Preisliste vorliegt.\n"
    "  Rückgabewert: 0 eine Preisliste liegt vor, 1 keine Preisliste oder die Anfrage schlug fehl,\n"
    "  2 falscher Aufruf (auch: keine Kunden-ID).\n");

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
        const TelvoroSettings settings = ReadTelvoroSettings(parser.value(settingsFile));
        id = LoadSettings(settings, QDir::currentPath()).customerId;
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
    return kExitOk;
}

} // namespace preisliste
