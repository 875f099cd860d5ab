#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "common/localeformat.h"
#include "db/backup.h"
#include "db/tariffdatabase.h"

#include <QFileInfo>

namespace preisliste {

const QString kInitDbUsage = QStringLiteral(
    "preisliste init-db PFAD\n"
    "  Legt eine leere Tarifdatenbank an; eine vorhandene Datei bleibt unberührt.\n");

const QString kBackupsUsage = QStringLiteral(
    "preisliste backups [--db PFAD] [--settings PFAD]\n"
    "  Listet die Sicherungen der Tarifdatenbank, die neueste zuerst: welche vor einem\n"
    "  Update und welche vor dem Zurückspielen entstand, und welche gerade zurückgespielt ist.\n"
    "preisliste restore [--db PFAD] [--settings PFAD] [SICHERUNG]\n"
    "  Spielt eine Sicherung zurück. Ohne SICHERUNG die des letzten Updates; jedes weitere\n"
    "  restore geht ein Update weiter zurück. SICHERUNG ist ein Name, wie ihn \"backups\"\n"
    "  zeigt, oder ein Pfad. Der Stand davor wird selbst gesichert\n"
    "  (...-vor-Wiederherstellung.mdb), so dass sich auch das rückgängig machen lässt.\n"
    "  --db PFAD        Tarifdatenbank (Vorgabe: \"DB Path\" aus den Telvoro-Einstellungen)\n"
    "  --settings PFAD  Telvoro-Einstellungen (Vorgabe: $TELVORO_SETTINGS, sonst\n"
    "                   ~/.config/Telvoro/Telvoro.ini)\n");

namespace {

int ListBackupsOf(const QString &database)
{
    const QList<BackupInfo> backups = ListBackups(database);
    if (backups.isEmpty()) {
        WriteLine(stdout, QStringLiteral("Keine Sicherungen von %1 in %2.").arg(database, BackupFolder(database)));
        return kExitOk;
    }
    WriteLine(stdout, QStringLiteral("Sicherungen von %1 in %2, die neueste zuerst:").arg(database, BackupFolder(database)));
    const QLocale locale = UserLocale();
    bool anyInPlace = false;
    for (const BackupInfo &backup : backups) {
        anyInPlace = anyInPlace || backup.inPlace;
        WriteLine(stdout, QStringLiteral("%1 %2  %3  %4 Tarifzeilen  %5  %6")
                              .arg(QChar(backup.inPlace ? u'*' : u' '))
                              .arg(locale.toString(backup.created, QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                                   locale.formattedDataSize(backup.sizeBytes).rightJustified(10),
                                   backup.tariffRows < 0 ? QStringLiteral("?") : locale.toString(backup.tariffRows),
                                   (backup.kind == BackupKind::BeforeUpdate ? QStringLiteral("vor Update")
                                                                           : QStringLiteral("vor Wiederherstellung"))
                                       .leftJustified(21),
                                   QFileInfo(backup.path).fileName()));
    }
    if (anyInPlace)
        WriteLine(stdout, QStringLiteral("* gerade zurückgespielt; ein weiteres \"preisliste restore\" spielt die "
                                         "Sicherung des Updates davor zurück."));
    return kExitOk;
}

} // namespace

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
    if (!restore)
        return ListBackupsOf(database);
    QString chosen;
    if (rest.isEmpty()) {
        const RestoreChoice next = NextBackupToRestore(database);
        if (next.path.isEmpty()) {
            WriteLine(stderr, next.error);
            return kExitFailed;
        }
        chosen = next.path;
    } else {
        chosen = ResolveBackupName(database, rest.constFirst());
        if (!QFileInfo::exists(chosen)) {
            WriteLine(stderr, QStringLiteral("Die Sicherung %1 gibt es nicht. Die Namen der Sicherungen zeigt "
                                             "\"preisliste backups\"; eine Datei außerhalb von %2 bitte mit Pfad "
                                             "angeben (etwa ./%3).")
                                  .arg(chosen, BackupFolder(database), rest.constFirst()));
            return kExitFailed;
        }
    }
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
