// Times the bulk recalculation over a large tariff with every row selected
// and every price changed: the worst case of the last stage of a run.
//
//   recalc_bench [rows] [repetitions]      (defaults 100000 and 5)

#include "common/runsinks.h"
#include "common/telvorosettings.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "db/tariffdatabase.h"
#include "pricing/pricingrule.h"
#include "pricing/recalculation.h"
#include "run/updaterun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace preisliste;

namespace {

// As cheap as the console's: compare, store.
class QuietProgress : public ProgressSink {
public:
    bool SetProgress(int overall, int action) override
    {
        if (overall != overall_ || (action >= 0 && action != action_)) {
            overall_ = overall;
            action_ = action >= 0 ? action : action_;
        }
        return false;
    }
    bool StopRequested() const override { return false; }

private:
    int overall_ = -1;
    int action_ = -1;
};

class PrintedMessages : public MessageSink {
public:
    void ShowMessage(MessageIcon, const QString &title, const QString &text) override
    {
        last = title + QStringLiteral(": ") + QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    }
    QString last;
};

bool Execute(sqlite3 *handle, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(handle, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "%s: %s\n", sql, error ? error : "?");
    sqlite3_free(error);
    return false;
}

// Purchase prices spread from 0,0010 to 1,0000 with four decimals; every
// selling price starts at 9,99, far above what the rule gives, so the rule
// changes every row.
bool FillTariff(const QString &path, int rows)
{
    sqlite3 *handle = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &handle) != SQLITE_OK)
        return false;
    bool ok = Execute(handle, "BEGIN");
    sqlite3_stmt *insert = nullptr;
    ok = ok && sqlite3_prepare_v2(handle,
                                  "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, GraceTime) "
                                  "VALUES (?1, ?2, 9.99, ?3, 0)",
                                  -1, &insert, nullptr) == SQLITE_OK;
    for (int i = 0; ok && i < rows; ++i) {
        const QByteArray number = "00" + QByteArray::number(100000 + i);
        const QByteArray name = "Ziel " + QByteArray::number(i % 4000);
        sqlite3_bind_text(insert, 1, number.constData(), int(number.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 3, double(10 + (i * 7919) % 9991) / 10000.0);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && Execute(handle, "COMMIT");
    sqlite3_close(handle);
    return ok;
}

bool ResetPrices(const QString &path)
{
    sqlite3 *handle = nullptr;
    const bool ok = sqlite3_open(path.toUtf8().constData(), &handle) == SQLITE_OK
                    && Execute(handle, "UPDATE Numbers SET Price_EUR = 9.99");
    sqlite3_close(handle);
    return ok;
}

void Report(const char *what, int rows, std::vector<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    std::printf("%s, %d rows all selected and changed: median %.3f s, best %.3f s, worst %.3f s (%zu runs)\n", what,
                rows, seconds[seconds.size() / 2], seconds.front(), seconds.back(), seconds.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int repetitions = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Numbers.mdb"));
    if (!CreateTariffDatabase(path).isEmpty() || !FillTariff(path, rows)) {
        std::fprintf(stderr, "Die Benchmark-Tarifdatenbank konnte nicht angelegt werden.\n");
        return 1;
    }
    PricingRule rule(TelvoroSettings::FromText(QStringLiteral("[Options]\nMwSt=19\n")));
    rule.UseOnAll = true;

    PrintedMessages messages;
    QuietProgress progress;
    QString error;
    const auto connection = OpenTariffDatabase(path, error);
    if (!connection) {
        messages.ShowError(error);
        return 1;
    }
    std::vector<double> seconds;
    for (int i = 0; i < repetitions; ++i) {
        SqlTransaction transaction(*connection);
        if (!transaction.Begin())
            return 1;
        RunContext context{*connection, progress};
        QElapsedTimer timer;
        timer.start();
        const StageResult result = RecalculateSellingPrices(rule, context);
        TellOperator(result, messages);
        const bool ok = result.IsDone();
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
        transaction.Rollback(); // every repetition starts from the same prices
        if (!ok) {
            std::fprintf(stderr, "%s\n", qPrintable(messages.last));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(messages.last));
    Report("recalculation stage", rows, seconds);

    // The whole run without a price list, as `preisliste update --db` does it:
    // open, begin, recalculate, commit.
    seconds.clear();
    const RunRequest request{.databaseFile = path,
                             .priceListFile = {},
                             .source = PriceListSource::None,
                             .customerId = {},
                             .rule = rule};
    for (int i = 0; i < repetitions; ++i) {
        if (!ResetPrices(path))
            return 1;
        QElapsedTimer timer;
        timer.start();
        const RunOutcome outcome = RunUpdate(request, progress, messages);
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
        if (outcome != RunOutcome::Committed) {
            std::fprintf(stderr, "%s\n", qPrintable(messages.last));
            return 1;
        }
    }
    Report("whole run with commit", rows, seconds);
    return 0;
}
