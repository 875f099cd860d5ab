#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/consolesinks.h"
#include "common/localeformat.h"
#include "history/historyreport.h"
#include "history/updatehistory.h"

#include <cstdio>

namespace preisliste {

const QString kHistoryUsage = QStringLiteral(
    "preisliste history [--db PFAD] [--settings PFAD] [--limit N] [--csv]\n"
    "  Zeigt den Verlauf der Updates der Tarifdatenbank, das neueste zuerst: Zeit, Dauer,\n"
    "  Ergebnis, Quelle, Liste, Änderungen und Sicherung. Er steht im Ordner \"backups\"\n"
    "  neben der Datenbank (Numbers-verlauf.sqlite zu Numbers.mdb).\n"
    "  --db PFAD        Tarifdatenbank (Vorgabe: \"DB Path\" aus den Telvoro-Einstellungen)\n"
    "  --settings PFAD  Telvoro-Einstellungen (Vorgabe: $TELVORO_SETTINGS, sonst\n"
    "                   ~/.config/Telvoro/Telvoro.ini)\n"
    "  --limit N        nur die neuesten N Updates\n"
    "  --csv            alle Angaben als CSV für Excel oder LibreOffice (UTF-8, \";\")\n"
    "  Rückgabewert: 0 gezeigt (auch: noch kein Verlauf), 1 der Verlauf lässt sich nicht\n"
    "  lesen, 2 falscher Aufruf.\n");

namespace {

std::optional<int> PositiveNumber(const QString &text)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok && number > 0 ? std::optional(number) : std::nullopt;
}

void WriteBytes(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int History(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Tarifdatenbank"), QStringLiteral("PFAD"));
    const QCommandLineOption settingsFile(QStringLiteral("settings"), QStringLiteral("Einstellungen"),
                                          QStringLiteral("PFAD"));
    const QCommandLineOption limit(QStringLiteral("limit"), QStringLiteral("höchstens"), QStringLiteral("N"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("CSV"));
    parser.addOptions({db, settingsFile, limit, csv});
    int exitCode = kExitOk;
    if (!ParseOptions(parser, arguments, exitCode))
        return exitCode;
    if (parser.isSet(QStringLiteral("help"))) {
        WriteLine(stdout, kHistoryUsage);
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("Unerwartetes Argument: ") + parser.positionalArguments().constFirst());
    const std::optional<int> newest = parser.isSet(limit) ? PositiveNumber(parser.value(limit)) : 0;
    if (!newest)
        return UsageError(
            QStringLiteral("--limit erwartet eine ganze Zahl ab 1, nicht „%1“.").arg(parser.value(limit)));

    const QString database = DatabaseOf(parser, db, settingsFile);
    QString error;
    const std::optional<QList<HistoryRecord>> records = ReadHistory(database, *newest, error);
    if (!records) {
        WriteLine(stderr, error);
        return kExitFailed;
    }
    if (parser.isSet(csv)) {
        WriteBytes(HistoryCsv(*records));
        return kExitOk;
    }
    if (records->isEmpty()) {
        WriteLine(stdout, QStringLiteral("Noch kein Verlauf für %1: Jedes Update trägt sich in %2 ein.")
                              .arg(database, HistoryFile(database)));
        return kExitOk;
    }
    WriteLine(stdout, QStringLiteral("Verlauf der Updates von %1, das neueste zuerst:").arg(database));
    WriteLine(stdout, HistoryTable(*records, UserLocale()));
    return kExitOk;
}

} // namespace preisliste
