#pragma once

#include "common/runsinks.h"

#include "db/sqliteconnection.h"

namespace preisliste {

// What every stage of one update run works with: the run's connection, with
// the run's transaction open on it, and the two channels to the operator.
struct RunContext {
    SqliteConnection &database;
    ProgressSink &progress;
    MessageSink &messages;
};

} // namespace preisliste
