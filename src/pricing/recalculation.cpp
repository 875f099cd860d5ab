#include "pricing/recalculation.h"

#include "db/runcontext.h"
#include "db/sqlfunction.h"
#include "pricing/pricingrule.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace preisliste {

namespace {

// The rule goes through the SQL function RepricedSellingPrice(row key,
// purchase price, selling price), which the engine calls once per row: it
// prices the row, counts it and reports progress, and answers the price to
// store. A row the rule leaves alone gets its selling price back unchanged.
// The key names the row in a message; in place it is the stored prefix.
// In place, one statement goes over the whole table in rowid order (NOT
// INDEXED: an index holding Price_EUR could otherwise reorder under the
// writes of the pass); a run that writes a new tariff calls the function in
// the statement that writes it.
constexpr char kRepriceFunction[] = "RepricedSellingPrice";
constexpr char kRepriceRows[] = "UPDATE Numbers NOT INDEXED SET Price_EUR = %1(Number, Rate_EK, Price_EUR)";
constexpr char kCountRows[] = "SELECT COUNT(*) FROM Numbers";

enum Argument { kRowKey, kRate, kPrice, kArgumentCount };

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

    // Reprices every row of Numbers where it is.
    StageResult RunInPlace()
    {
        if (!CountRows())
            return Failure();
        return Run([this](const QString &function) {
            SqliteStatement update = database_.Prepare(QString::fromLatin1(kRepriceRows).arg(function));
            return update.Failed() || !update.Run() ? StageResult::Failed(update.Error()) : StageResult::Done();
        });
    }

    // Reprices the rows that `writer` writes, at most `rowsAtMost`.
    StageResult RunOnWrite(qint64 rowsAtMost, const RowWriter &writer)
    {
        total_ = rowsAtMost;
        storedPrefix_ = writer.storedPrefix;
        return Run(writer.write);
    }

    qint64 Updated() const { return updated_; }

private:
    StageResult Run(const std::function<StageResult(const QString &function)> &pass)
    {
        if (StageProgressed(context_, 0))
            return StageResult::Stopped();
        const ScopedSqlFunction reprice(database_, kRepriceFunction, kArgumentCount,
                                        [this](SqlFunctionCall &row) { RepriceRow(row); });
        if (!reprice.Registered())
            return StageResult::Failed(database_.Error());
        const StageResult passed = pass(QString::fromLatin1(kRepriceFunction));
        if (!passed.IsDone())
            return stopped_ ? StageResult::Stopped() : failure_.value_or(passed);
        if (processed_ == 0)
            StageProgressed(context_, 100); // an empty tariff is done at once
        return StageResult::Done(StageNotice{QStringLiteral("Neuberechnung"),
                                             QStringLiteral("Preisneuberechnung\r\n\r\n%1 of %2 records updated.")
                                                 .arg(updated_)
                                                 .arg(processed_)});
    }

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
    bool ReadPrice(const SqlFunctionCall &row, Argument column, std::optional<Currency> &price)
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
                        .arg(QLatin1String(column == kRate ? "Rate_EK" : "Price_EUR"), row.Text(column),
                             StoredPrefix(row)));
    }

    // The row's new selling price, or its stored one where the rule keeps
    // it; false after recording why the pass cannot go on.
    bool Reprice(SqlFunctionCall &row)
    {
        std::optional<Currency> netBuying;
        std::optional<Currency> oldSelling;
        if (!ReadPrice(row, kRate, netBuying) || !ReadPrice(row, kPrice, oldSelling))
            return false;
        // Without a purchase price there is nothing to price from.
        const RowPrice price = netBuying ? rule_.CalculateNewVk(*netBuying, oldSelling.value_or(Currency())) : RowPrice{};
        if (!price.changed) {
            row.ReturnArgument(kPrice);
            return true;
        }
        row.ReturnDouble(price.newSelling.ToDouble());
        ++updated_;
        return true;
    }

    void RepriceRow(SqlFunctionCall &row)
    {
        bool repriced = false;
        try {
            repriced = Reprice(row);
        } catch (const std::overflow_error &error) {
            // An amount beyond the currency range names the row it came from.
            failure_ = StageResult::FromException(error, QStringLiteral("Vorwahl %1").arg(StoredPrefix(row)));
        }
        ++processed_;
        if (repriced && StageProgressed(context_, PercentDone(processed_, total_)))
            stopped_ = true;
        if (!repriced || stopped_)
            row.Fail();
    }

    QString StoredPrefix(const SqlFunctionCall &row) const
    {
        const QString key = row.Text(kRowKey);
        return storedPrefix_ ? storedPrefix_(key) : key;
    }

    const PricingRule &rule_;
    RunContext &context_;
    SqliteConnection &database_;
    std::function<QString(const QString &key)> storedPrefix_; // none: the key is the stored prefix
    qint64 total_ = 0; // the rows the progress is measured against
    qint64 processed_ = 0;
    qint64 updated_ = 0;
    bool stopped_ = false;
    std::optional<StageResult> failure_;
};

} // namespace

StageResult RecalculateSellingPrices(const PricingRule &rule, RunContext &context, qint64 *repriced)
{
    Recalculation recalculation(rule, context);
    StageResult result = recalculation.RunInPlace();
    if (repriced && result.IsDone())
        *repriced = recalculation.Updated();
    return result;
}

StageResult RecalculateSellingPricesAsWritten(const PricingRule &rule, RunContext &context, qint64 rowsAtMost,
                                              const RowWriter &writer, qint64 *repriced)
{
    Recalculation recalculation(rule, context);
    StageResult result = recalculation.RunOnWrite(rowsAtMost, writer);
    if (repriced && result.IsDone())
        *repriced = recalculation.Updated();
    return result;
}

} // namespace preisliste
