#include "pricing/recalculation.h"

#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "pricing/recalcvk.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace preisliste {

namespace {

// NOT INDEXED keeps the walk on the table itself, in rowid order: an index
// holding Price_EUR could otherwise reorder under the writes of the pass.
constexpr char kSelectRows[] = "SELECT rowid, Number, Rate_EK, Price_EUR FROM Numbers NOT INDEXED";
constexpr char kUpdatePrice[] = "UPDATE Numbers SET Price_EUR = ?1 WHERE rowid = ?2";
constexpr char kCountRows[] = "SELECT COUNT(*) FROM Numbers";

enum Column { kRowId, kNumber, kRate, kPrice };

// One prepared statement, finalized when it goes away.
class Statement {
public:
    Statement(sqlite3 *database, const char *sql)
    {
        if (sqlite3_prepare_v2(database, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement_);
            statement_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    explicit operator bool() const { return statement_ != nullptr; }
    sqlite3_stmt *Get() const { return statement_; }

private:
    sqlite3_stmt *statement_ = nullptr;
};

QString ColumnText(sqlite3_stmt *row, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, column)),
                             sqlite3_column_bytes(row, column));
}

int PercentDone(qint64 processed, qint64 total)
{
    if (total <= 0)
        return 100;
    return int(std::min<qint64>(100, (processed * 100 + total / 2) / total));
}

class Recalculation {
public:
    Recalculation(const CRecalcVk &rule, RunContext &context, sqlite3 *database)
        : rule_(rule), context_(context), database_(database)
    {
    }

    bool Run()
    {
        if (!CountRows())
            return false;
        if (context_.progress.SetProgress(0, 0))
            return false;
        const Statement rows(database_, kSelectRows);
        const Statement update(database_, kUpdatePrice);
        if (!rows || !update)
            return FailWithDatabaseError();
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(rows.Get())) == SQLITE_ROW) {
            if (!RepriceRowReportingOverflow(rows.Get(), update.Get()))
                return false;
            ++processed_;
            if (context_.progress.SetProgress(PercentDone(processed_, total_), -1))
                return false;
        }
        if (step != SQLITE_DONE)
            return FailWithDatabaseError();
        context_.messages.ShowMessage(MessageIcon::Information, QStringLiteral("Neuberechnung"),
                                      QStringLiteral("Preisneuberechnung\r\n\r\n%1 of %2 records updated.")
                                          .arg(updated_)
                                          .arg(total_));
        return true;
    }

    bool Fail(const QString &description)
    {
        context_.messages.ShowError(QStringLiteral("Fehler: ") + description);
        return false;
    }

private:
    bool FailWithDatabaseError() { return Fail(DescribeSqliteError(database_)); }

    bool CountRows()
    {
        const Statement count(database_, kCountRows);
        if (!count || sqlite3_step(count.Get()) != SQLITE_ROW)
            return FailWithDatabaseError();
        total_ = sqlite3_column_int64(count.Get(), 0);
        return true;
    }

    // A price column as currency, Null as nothing. Text is no price: read as
    // 0 it would price the row from nothing, so it ends the pass instead.
    bool ReadPrice(sqlite3_stmt *row, int column, std::optional<Currency> &price)
    {
        switch (sqlite3_column_type(row, column)) {
        case SQLITE_NULL:
            price.reset();
            return true;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            price = Currency::FromDouble(sqlite3_column_double(row, column));
            return true;
        default:
            return Fail(QStringLiteral("%1 „%2“ der Vorwahl %3 ist keine Zahl.")
                            .arg(QString::fromUtf8(sqlite3_column_name(row, column)), ColumnText(row, column),
                                 ColumnText(row, kNumber)));
        }
    }

    bool RepriceRow(sqlite3_stmt *row, sqlite3_stmt *update)
    {
        std::optional<Currency> netBuying;
        std::optional<Currency> oldSelling;
        if (!ReadPrice(row, kRate, netBuying) || !ReadPrice(row, kPrice, oldSelling))
            return false;
        if (!netBuying)
            return true; // without a purchase price there is nothing to price from
        double markup = 0.0;
        double margin = 0.0;
        Currency profit;
        Currency newSelling;
        if (!rule_.CalculateNewVk(*netBuying, oldSelling.value_or(Currency()), markup, margin, profit, newSelling))
            return true;
        sqlite3_bind_double(update, 1, newSelling.ToDouble());
        sqlite3_bind_int64(update, 2, sqlite3_column_int64(row, kRowId));
        const int written = sqlite3_step(update);
        sqlite3_reset(update);
        if (written != SQLITE_DONE)
            return FailWithDatabaseError();
        ++updated_;
        return true;
    }

    // An amount beyond the currency range names the row it came from.
    bool RepriceRowReportingOverflow(sqlite3_stmt *row, sqlite3_stmt *update)
    {
        try {
            return RepriceRow(row, update);
        } catch (const std::overflow_error &error) {
            return Fail(QStringLiteral("%1 (Vorwahl %2)").arg(QString::fromUtf8(error.what()), ColumnText(row, kNumber)));
        }
    }

    const CRecalcVk &rule_;
    RunContext &context_;
    sqlite3 *database_;
    qint64 total_ = 0;
    qint64 processed_ = 0;
    qint64 updated_ = 0;
};

} // namespace

bool RecalculateSellingPrices(const CRecalcVk &rule, RunContext &context)
{
    sqlite3 *database = context.database.isOpen() ? SqliteHandle(context.database) : nullptr;
    Recalculation recalculation(rule, context, database);
    if (!database)
        return recalculation.Fail(QStringLiteral("Keine Verbindung zur Tarifdatenbank."));
    return recalculation.Run();
}

} // namespace preisliste
