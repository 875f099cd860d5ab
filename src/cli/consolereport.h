#pragma once

#include "report/changereport.h"

namespace preisliste {

// Prints a change report on the terminal: the counts and the largest changes
// on stdout; rows that sell below cost or for nothing and skipped list lines,
// which need the operator's eye, as warnings on stderr.
void PrintChangeReport(const ChangeReport &report);

// Only the part of PrintChangeReport() on stderr, for a quiet run.
void PrintChangeReportWarnings(const ChangeReport &report);

// The one line a quiet run prints after committing an update: the key
// counts of the change report and where the backup went.
QString CommittedSummaryLine(const ChangeCounts &counts, const QString &backupPath);

} // namespace preisliste
