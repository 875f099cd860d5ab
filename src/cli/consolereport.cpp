#include "cli/consolereport.h"

#include "cli/consolesinks.h"
#include "common/localeformat.h"
#include "report/reporttext.h"

namespace preisliste {

void PrintChangeReport(const ChangeReport &report)
{
    const QLocale locale = UserLocale();
    WriteLine(stdout, ReportCountsText(report, locale));
    const QString largest = LargestChangesText(report, locale);
    if (!largest.isEmpty())
        WriteLine(stdout, largest);
    for (const QString &warning : ReportWarnings(report, locale))
        WriteLine(stderr, QStringLiteral("Warnung: ") + warning);
    for (const QString &rows : {BelowCostText(report, locale), SkippedLinesText(report, locale)}) {
        if (!rows.isEmpty())
            WriteLine(stderr, rows);
    }
}

} // namespace preisliste
