#pragma once

#include "common/runsinks.h"

#include "db/sqliteconnection.h"

namespace preisliste {

// What every stage of one update run works with: the run's connection, with
// the run's transaction open on it, and where its progress goes. A stage says
// nothing to the operator itself; it returns its result.
struct RunContext {
    SqliteConnection &database;
    ProgressSink &progress;
};

// Tells how far the stage under way is, from 0 to 100; true when the operator
// asked to stop. A stage run on its own is the whole run, so both values are
// the stage's; RunUpdate gives each stage its share of the overall value.
inline bool StageProgressed(RunContext &context, int percent)
{
    return context.progress.SetProgress(percent, percent);
}

} // namespace preisliste
