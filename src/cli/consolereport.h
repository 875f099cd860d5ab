#pragma once

#include "report/changereport.h"

namespace preisliste {

// Prints a change report on the terminal: the counts and the largest changes
// on stdout; rows that sell below cost or for nothing and skipped list lines,
// which need the operator's eye, as warnings on stderr.
void PrintChangeReport(const ChangeReport &report);

} // namespace preisliste
