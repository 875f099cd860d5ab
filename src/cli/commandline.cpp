#include "cli/commandline.h"

#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "common/telvorosettings.h"
#include "run/startupsettings.h"

#include <QDir>
#include <QFileInfo>

namespace preisliste {

TelvoroSettings ReadTelvoroSettings(const QString &explicitPath)
{
    const QString path = TelvoroSettings::LocateFile(explicitPath);
    const bool named = !explicitPath.isEmpty() || !qEnvironmentVariableIsEmpty("TELVORO_SETTINGS");
    if (named && !QFileInfo(path).isFile())
        WriteLine(stderr, QStringLiteral("Warnung: Die Einstellungsdatei %1 gibt es nicht; es gelten die Vorgaben.")
                              .arg(path));
    return TelvoroSettings::FromFile(path);
}

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

QString DatabaseOf(const QCommandLineParser &parser, const QCommandLineOption &db,
                   const QCommandLineOption &settingsFile)
{
    if (parser.isSet(db))
        return parser.value(db);
    const TelvoroSettings settings = ReadTelvoroSettings(parser.value(settingsFile));
    const StartupSettings startup = LoadSettings(settings, QDir::currentPath());
    if (startup.databasePathMissing)
        WriteLine(stderr, QStringLiteral("Warnung: ") + kNoDatabasePathMessage);
    return startup.databaseFile;
}

QString UsageText()
{
    return QStringLiteral("Aufruf:\n"
                          "preisliste                 öffnet das Fenster\n")
           + kUpdateUsage + kStatusUsage + kInitDbUsage + kBackupsUsage + kDiffUsage;
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
    if (command == QLatin1String("diff"))
        return Diff(rest);
    if (command == QLatin1String("backups") || command == QLatin1String("restore"))
        return BackupsOrRestore(rest, command == QLatin1String("restore"));
    return UsageError(QStringLiteral("Unbekannter Befehl: ") + command);
}

} // namespace preisliste
