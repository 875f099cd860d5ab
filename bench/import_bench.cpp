// Times the staging import of a price list as the update run does it: the
// run's connection, one transaction, ImportPriceListFile, commit.

#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "db/tariffdatabase.h"
#include "pricelist/stagingimport.h"

#include <QCoreApplication>
#include <QVariant>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

using namespace preisliste;

namespace {

const char *const kUsage =
    "Aufruf: import_bench --db TARIF --file PREISLISTE [--runs K]\n"
    "\n"
    "Liest die Preisliste K-mal (Vorgabe 3) in Import2 der Tarifdatenbank, jedes\n"
    "Mal in einer eigenen Transaktion mit Commit, und gibt die Zeiten in Sekunden\n"
    "aus. Gemessen werden Import und Commit, nicht das Öffnen der Datenbank.\n"
    "Die letzte Zeile lautet \"best SEKUNDEN ZEILEN\".\n";

// Counts the progress calls, as cheaply as the window's sink must be.
class CountingProgress : public ProgressSink {
public:
    bool SetProgress(int, int) override
    {
        ++calls;
        return false;
    }
    bool StopRequested() const override { return false; }
    long calls = 0;
};

class StderrMessages : public MessageSink {
public:
    void ShowMessage(MessageIcon, const QString &, const QString &text) override
    {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
};

// One import in one transaction; the seconds, or a negative value on failure.
double TimeOneImport(SqliteConnection &connection, const QString &file, long &rows)
{
    CountingProgress progress;
    StderrMessages messages;
    const auto start = std::chrono::steady_clock::now();
    SqlTransaction transaction(connection);
    if (!transaction.Begin()) {
        std::fprintf(stderr, "BEGIN: %s\n", transaction.Error().toLocal8Bit().constData());
        return -1;
    }
    RunContext context{connection, progress};
    if (!ImportPriceListFile(file, context).IsDone())
        return -1;
    if (!transaction.Commit()) {
        std::fprintf(stderr, "COMMIT: %s\n", transaction.Error().toLocal8Bit().constData());
        return -1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    SqliteStatement count = connection.Prepare(QStringLiteral("SELECT COUNT(*) FROM Import2"));
    rows = count.Next() ? long(count.Int64(0)) : -1;
    return elapsed.count();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QString database;
    QString file;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc || (arg != "--db" && arg != "--file" && arg != "--runs")) {
            std::fprintf(stderr, "%s", kUsage);
            return 2;
        }
        const QString value = QString::fromLocal8Bit(argv[++i]);
        if (arg == "--db")
            database = value;
        else if (arg == "--file")
            file = value;
        else
            runs = std::max(1, value.toInt());
    }
    if (database.isEmpty() || file.isEmpty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }

    QString error;
    const auto connection = OpenTariffDatabase(database, error);
    if (!connection) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    double best = -1;
    long rows = 0;
    for (int run = 1; run <= runs; ++run) {
        const double seconds = TimeOneImport(*connection, file, rows);
        if (seconds < 0)
            return 1;
        std::printf("run %d: %.3f s, %ld rows in Import2\n", run, seconds, rows);
        if (best < 0 || seconds < best)
            best = seconds;
    }
    std::printf("best %.4f %ld\n", best, rows);
    return 0;
}
