#include "pricing/recalculation.h"

#include "db/runcontext.h"
#include "pricing/pricingrule.h"

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

int PercentDone(qint64 processed, qint64 total)
{
    if (total <= 0)
        return 100;
    return int(std::min<qint64>(100, (processed * 100 + total / 2) / total));
}

class Recalculation {
public:
    Recalculation(const PricingRule &rule, RunContext &context)
        : rule_(rule), context_(context), database_(context.database)
    {
    }

    StageResult Run()
    {
        if (!CountRows())
            return Failure();
        if (StageProgressed(context_, 0))
            return StageResult::Stopped();
        SqliteStatement rows = database_.Prepare(kSelectRows);
        if (rows.Failed())
            return StageResult::Failed(rows.Error());
        SqliteStatement update = database_.Prepare(kUpdatePrice);
        if (update.Failed())
            return StageResult::Failed(update.Error());
        while (rows.Next()) {
            if (!RepriceRowReportingOverflow(rows, update))
                return Failure();
            ++processed_;
            if (StageProgressed(context_, PercentDone(processed_, total_)))
                return StageResult::Stopped();
        }
        if (rows.Failed())
            return StageResult::Failed(rows.Error());
        if (processed_ == 0)
            StageProgressed(context_, 100); // an empty tariff is done at once
        return StageResult::Done(StageNotice{QStringLiteral("Neuberechnung"),
                                             QStringLiteral("Preisneuberechnung\r\n\r\n%1 of %2 records updated.")
                                                 .arg(updated_)
                                                 .arg(total_)});
    }

    qint64 Updated() const { return updated_; }

private:
    // Records why the pass cannot go on; the step then answers false.
    bool Fail(const QString &description)
    {
        failure_ = StageResult::Failed(description);
        return false;
    }

    StageResult Failure() const { return failure_.value_or(StageResult::Failed(QString())); }

    bool CountRows()
    {
        SqliteStatement count = database_.Prepare(kCountRows);
        if (!count.Next())
            return Fail(count.Error());
        total_ = count.Int64(0);
        return true;
    }

    // A price column as currency, Null as nothing. Text is no price: read as
    // 0 it would price the row from nothing, so it ends the pass instead.
    bool ReadPrice(const SqliteStatement &row, int column, std::optional<Currency> &price)
    {
        if (row.IsNull(column)) {
            price.reset();
            return true;
        }
        if (row.IsNumber(column)) {
            price = Currency::FromDouble(row.Double(column));
            return true;
        }
        return Fail(QStringLiteral("%1 „%2“ der Vorwahl %3 ist keine Zahl.")
                        .arg(row.ColumnName(column), row.Text(column), row.Text(kNumber)));
    }

    bool RepriceRow(const SqliteStatement &row, SqliteStatement &update)
    {
        std::optional<Currency> netBuying;
        std::optional<Currency> oldSelling;
        if (!ReadPrice(row, kRate, netBuying) || !ReadPrice(row, kPrice, oldSelling))
            return false;
        if (!netBuying)
            return true; // without a purchase price there is nothing to price from
        const RowPrice price = rule_.CalculateNewVk(*netBuying, oldSelling.value_or(Currency()));
        if (!price.changed)
            return true;
        update.BindDouble(1, price.newSelling.ToDouble());
        update.BindInt64(2, row.Int64(kRowId));
        if (!update.Run())
            return Fail(update.Error());
        ++updated_;
        return true;
    }

    // An amount beyond the currency range names the row it came from.
    bool RepriceRowReportingOverflow(const SqliteStatement &row, SqliteStatement &update)
    {
        try {
            return RepriceRow(row, update);
        } catch (const std::overflow_error &error) {
            failure_ = StageResult::FromException(error, QStringLiteral("Vorwahl %1").arg(row.Text(kNumber)));
            return false;
        }
    }

    const PricingRule &rule_;
    RunContext &context_;
    SqliteConnection &database_;
    qint64 total_ = 0;
    qint64 processed_ = 0;
    qint64 updated_ = 0;
    std::optional<StageResult> failure_;
};

} // namespace

StageResult RecalculateSellingPrices(const PricingRule &rule, RunContext &context, qint64 *repriced)
{
    Recalculation recalculation(rule, context);
    StageResult result = recalculation.Run();
    if (repriced && result.IsDone())
        *repriced = recalculation.Updated();
    return result;
}

} // namespace preisliste
