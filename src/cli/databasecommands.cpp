#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "common/localeformat.h"
#include "db/backup.h"
#include "db/tariffdatabase.h"

namespace preisliste {

const QString kInitDbUsage = QStringLiteral(
    "preisliste init-db PFAD\n"
    "  Legt eine leere Tarifdatenbank an; eine vorhandene Datei bleibt unberührt.\n");

const QString kBackupsUsage = QStringLiteral(
    "preisliste backups [--db PFAD] [--settings PFAD]\n"
    "  Listet die Sicherungen der Tarifdatenbank, die neueste zuerst.\n"
    "preisliste restore [--db PFAD] [--settings PFAD] [SICHERUNG]\n"
    "  Spielt die neueste (oder die genannte) Sicherung zurück; der Stand davor\n"
    "  wird selbst gesichert, so dass sich auch das rückgängig machen lässt.\n");

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

} // namespace preisliste
