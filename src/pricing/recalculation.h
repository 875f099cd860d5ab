#pragma once

#include "common/stageresult.h"

#include <QString>
#include <QtGlobal>

#include <functional>

namespace preisliste {

class PricingRule;
struct RunContext;

// Applies `rule` to every row of Numbers in the run's transaction and writes
// each selling price the rule changes; rows without a purchase price are
// counted but left alone. Progress goes out after every row, and a stop ends
// the pass (the run then rolls back). A finished pass has
// "<updated> of <total> records updated." under "Neuberechnung" as its
// notice; a database error, or a price that is no number or leaves the
// currency range, fails it. `repriced`, when given, gets the number of rows
// whose selling price a finished pass changed.
StageResult RecalculateSellingPrices(const PricingRule &rule, RunContext &context, qint64 *repriced = nullptr);

// Writes rows into Numbers in one statement that calls the SQL function it
// is given, (row key, purchase price, selling price) -> selling price to
// store, once per row it writes. The key is what the writer passes most
// cheaply; `storedPrefix` turns it into the prefix the row is stored with,
// for a message that names the row.
struct RowWriter {
    std::function<StageResult(const QString &sellingPriceFunction)> write;
    std::function<QString(const QString &key)> storedPrefix;
};

// The same pass over the rows that `writer` writes, as it writes them: a run
// that replaces the tariff thus prices the new rows without rewriting each
// of them a second time. `rowsAtMost`, at least the rows written, measures
// the progress. Ends as RecalculateSellingPrices() would on the rows
// written; a failure of the write fails it.
StageResult RecalculateSellingPricesAsWritten(const PricingRule &rule, RunContext &context, qint64 rowsAtMost,
                                              const RowWriter &writer, qint64 *repriced = nullptr);

} // namespace preisliste
