#pragma once

// The commands of the command line, each in its own file, and what they share.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace preisliste {

extern const QString kUpdateUsage;
extern const QString kStatusUsage;
extern const QString kInitDbUsage;
extern const QString kBackupsUsage;
extern const QString kDiffUsage;
extern const QString kHistoryUsage;

int Update(const QStringList &arguments);
int Status(const QStringList &arguments);
int InitDatabase(const QStringList &arguments);
int BackupsOrRestore(const QStringList &arguments, bool restore);
int Diff(const QStringList &arguments);
int History(const QStringList &arguments);

// A download or status request needs a customer ID: asking the server for
// none only brings a puzzling answer.
extern const QString kNoCustomerIdMessage;

// Prints the message and a hint to --help on stderr; returns kExitUsage.
int UsageError(const QString &message);

// The parser's complaint about unknown options and missing or unexpected
// values in German, whether or not Qt's own German translation is loaded.
// `arguments` are those the parser was given, the program name first.
QString ParserErrorInGerman(const QCommandLineParser &parser, const QStringList &arguments);

// Parses the options after the command name, --help included; false after a
// usage message, with the exit code set.
bool ParseOptions(QCommandLineParser &parser, const QStringList &arguments, int &exitCode);

class TelvoroSettings;

// Telvoro's settings from --settings PATH, else $TELVORO_SETTINGS, else the
// usual place. A file named explicitly that is not there gets a warning: a
// mistyped path would otherwise pass unnoticed for the defaults.
TelvoroSettings ReadTelvoroSettings(const QString &explicitPath);

// The database of a command: --db, else "DB Path" of the settings (with the
// warning when there is none).
QString DatabaseOf(const QCommandLineParser &parser, const QCommandLineOption &db,
                   const QCommandLineOption &settingsFile);

} // namespace preisliste
