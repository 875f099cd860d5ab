#include "cli/commandline.h"

#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "common/telvorosettings.h"
#include "run/startupsettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace preisliste {

TelvoroSettings ReadTelvoroSettings(const QString &explicitPath)
{
    const QString path = TelvoroSettings::LocateFile(explicitPath);
    const bool named = !explicitPath.isEmpty() || !qEnvironmentVariableIsEmpty("TELVORO_SETTINGS");
    // Any readable file is fine, an empty one too: /dev/null is the way to
    // say "no settings".
    if (named && !QFileInfo::exists(path))
        WriteLine(stderr, QStringLiteral("Warnung: Die Einstellungsdatei %1 gibt es nicht; es gelten die Vorgaben.")
                              .arg(path));
    else if (named && !QFile(path).open(QIODevice::ReadOnly))
        WriteLine(stderr, QStringLiteral("Warnung: Die Einstellungsdatei %1 lässt sich nicht lesen; es gelten die "
                                         "Vorgaben.")
                              .arg(path));
    return TelvoroSettings::FromFile(path);
}

// The option as the operator typed it, for an option name the parser found
// unknown ("-x", "--x" or "--x=1" for "x").
QString TypedOption(const QStringList &arguments, const QString &name)
{
    for (const QString &argument : arguments.mid(1)) {
        QString bare = argument.section(u'=', 0, 0);
        while (bare.startsWith(u'-'))
            bare.remove(0, 1);
        if (bare == name && argument.startsWith(u'-'))
            return argument.section(u'=', 0, 0);
    }
    return QStringLiteral("--") + name;
}

QString ParserErrorInGerman(const QCommandLineParser &parser, const QStringList &arguments)
{
    // The parser's text goes through Qt's translation, so it is compared
    // with the same texts translated the same way: this works with and
    // without Qt's German translations installed.
    const QString qtText = parser.errorText();
    for (const QString &argument : arguments.mid(1)) {
        if (qtText == QCommandLineParser::tr("Missing value after '%1'.").arg(argument))
            return QStringLiteral("Nach %1 fehlt der Wert.").arg(argument);
        const QString option = argument.section(u'=', 0, 0);
        if (argument.contains(u'=') && qtText == QCommandLineParser::tr("Unexpected value after '%1'.").arg(option))
            return QStringLiteral("%1 nimmt keinen Wert an: „%2“.").arg(option, argument);
    }
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.size() == 1)
        return QStringLiteral("Unbekannte Option: %1").arg(TypedOption(arguments, unknown.constFirst()));
    if (unknown.size() > 1) {
        QStringList typed;
        for (const QString &name : unknown)
            typed.append(TypedOption(arguments, name));
        return QStringLiteral("Unbekannte Optionen: %1").arg(typed.join(QStringLiteral(", ")));
    }
    return qtText;
}

const QString kNoCustomerIdMessage =
    QStringLiteral("Keine Kunden-ID: Geben Sie sie mit --customer-id ID an oder tragen Sie sie als "
                   "„ProviderAccountUserId“ im Abschnitt [Options] der Telvoro-Einstellungen ein.");

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
        exitCode = UsageError(ParserErrorInGerman(parser, arguments));
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
                          "preisliste                 öffnet das Fenster\n"
                          "preisliste --version       zeigt die Version\n"
                          "preisliste --help          zeigt diese Hilfe; BEFEHL --help die Optionen des Befehls\n")
           + kUpdateUsage + kStatusUsage + kHistoryUsage + kInitDbUsage + kBackupsUsage + kDiffUsage;
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
    if (command == QLatin1String("--version")) {
        WriteLine(stdout, QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion());
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
    if (command == QLatin1String("history"))
        return History(rest);
    if (command == QLatin1String("backups") || command == QLatin1String("restore"))
        return BackupsOrRestore(rest, command == QLatin1String("restore"));
    if (command.startsWith(u'-'))
        return UsageError(QStringLiteral("Unbekannte Option: %1 (vor einem Befehl gibt es nur --help und --version)")
                              .arg(command));
    return UsageError(QStringLiteral("Unbekannter Befehl: ") + command);
}

} // namespace preisliste
