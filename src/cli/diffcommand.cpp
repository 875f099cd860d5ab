#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolereport.h"
#include "cli/consolesinks.h"
#include "common/telvorosettings.h"
#include "db/backup.h"
#include "pricing/pricingrule.h"
#include "run/tariffdiff.h"

#include <QSaveFile>

namespace preisliste {

const QString kDiffUsage = QStringLiteral(
    "preisliste diff [--db PFAD] [--settings PFAD] [--report DATEI] [SICHERUNG]\n"
    "  Zeigt, was sich seit einer Sicherung (Vorgabe: der neuesten) in der Tarifdatenbank\n"
    "  geändert hat, wie der Bericht eines Updates; auch Änderungen von Telvoro oder von Hand.\n"
    "  SICHERUNG ist ein Pfad oder ein Name aus \"preisliste backups\".\n"
    "  --report DATEI   den ganzen Bericht als CSV schreiben\n");

namespace {

// The backup to compare with: the one named, else the newest.
QString ChosenBackup(const QString &name, const QString &database)
{
    if (!name.isEmpty())
        return ResolveBackupName(database, name);
    const QList<BackupInfo> backups = ListBackups(database);
    return backups.isEmpty() ? QString() : backups.constFirst().path;
}

} // namespace

int Diff(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Tarifdatenbank"), QStringLiteral("PFAD"));
    const QCommandLineOption settingsFile(QStringLiteral("settings"), QStringLiteral("Einstellungen"),
                                          QStringLiteral("PFAD"));
    const QCommandLineOption reportFile(QStringLiteral("report"), QStringLiteral("Bericht"), QStringLiteral("DATEI"));
    parser.addOptions({db, settingsFile, reportFile});
    int exitCode = kExitOk;
    if (!ParseOptions(parser, arguments, exitCode))
        return exitCode;
    if (parser.isSet(QStringLiteral("help"))) {
        WriteLine(stdout, kDiffUsage);
        return kExitOk;
    }
    const QStringList rest = parser.positionalArguments();
    if (rest.size() > 1)
        return UsageError(QStringLiteral("Unerwartetes Argument: ") + rest.constLast());
    const QString database = DatabaseOf(parser, db, settingsFile);
    const QString backup = ChosenBackup(rest.value(0), database);
    if (backup.isEmpty()) {
        WriteLine(stderr, QStringLiteral("Es gibt keine Sicherung von %1 in %2.").arg(database, BackupFolder(database)));
        return kExitFailed;
    }
    // The gross purchase price of the below-cost check uses the VAT of the
    // settings, as an update would.
    const double vat = PricingRule(ReadTelvoroSettings(parser.value(settingsFile))).VAT();
    QSaveFile csv(parser.value(reportFile));
    if (parser.isSet(reportFile) && !csv.open(QIODevice::WriteOnly)) {
        WriteLine(stderr, QStringLiteral("Der Bericht %1 kann nicht geschrieben werden: %2")
                              .arg(parser.value(reportFile), csv.errorString()));
        return kExitFailed;
    }
    QString error;
    const std::optional<ChangeReport> report =
        CompareBackupWithDatabase(backup, database, vat, parser.isSet(reportFile) ? &csv : nullptr, error);
    if (!report || (parser.isSet(reportFile) && !csv.commit())) {
        WriteLine(stderr, report ? QStringLiteral("Der Bericht %1 kann nicht geschrieben werden: %2")
                                       .arg(parser.value(reportFile), csv.errorString())
                                 : error);
        return kExitFailed;
    }
    WriteLine(stdout, QStringLiteral("Vergleich der Sicherung %1 mit %2:").arg(backup, database));
    if (parser.isSet(reportFile))
        WriteLine(stdout, QStringLiteral("Bericht: ") + parser.value(reportFile));
    PrintChangeReport(*report);
    return kExitOk;
}

} // namespace preisliste
