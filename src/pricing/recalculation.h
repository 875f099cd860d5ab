#pragma once

#include "common/stageresult.h"

#include <QtGlobal>

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

} // namespace preisliste
