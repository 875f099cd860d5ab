#pragma once

#include "report/changereport.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace preisliste {

// The report of an update in words, for the terminal and the window. Amounts
// and percentages are shown in `locale`.

// The warnings that lead every showing of the report: rows that sell below
// their purchase price or for nothing, and list lines that were skipped.
// Empty when there is nothing to warn of.
QStringList ReportWarnings(const ChangeReport &report, const QLocale &locale);

// One count per kind of change.
QString ReportCountsText(const ChangeReport &report, const QLocale &locale);

// The largest raises and cuts of selling prices: old, new, change in percent.
QString LargestChangesText(const ChangeReport &report, const QLocale &locale);

// The rows selling below cost and the skipped lines that the report holds,
// with a count of the rest.
QString BelowCostText(const ChangeReport &report, const QLocale &locale);
QString SkippedLinesText(const ChangeReport &report, const QLocale &locale);

// Everything above in one text, warnings first; `savedAt` names the CSV file
// of the whole report when there is one.
QString ReportDetailsText(const ChangeReport &report, const QLocale &locale, const QString &savedAt);

} // namespace preisliste
