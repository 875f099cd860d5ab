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
    PrintChangeReportWarnings(report);
}

void PrintChangeReportWarnings(const ChangeReport &report)
{
    const QLocale locale = UserLocale();
    for (const QString &warning : ReportWarnings(report, locale))
        WriteLine(stderr, QStringLiteral("Warnung: ") + warning);
    for (const QString &rows : {BelowCostText(report, locale), SkippedLinesText(report, locale)}) {
        if (!rows.isEmpty())
            WriteLine(stderr, rows);
    }
}

QString CommittedSummaryLine(const ChangeCounts &counts, const QString &backupPath)
{
    const QLocale locale = UserLocale();
    const QString backup = backupPath.isEmpty() ? QStringLiteral("ohne Sicherung")
                                                : QStringLiteral("Sicherung: ") + backupPath;
    return QStringLiteral("Tarif aktualisiert: %1 Zeilen (vorher %2), %3 neue, %4 entfernte, %5 umbenannte Ziele, "
                          "%6 Verkaufspreise erhöht, %7 gesenkt – %8")
        .arg(locale.toString(counts.rowsAfter), locale.toString(counts.rowsBefore), locale.toString(counts.added),
             locale.toString(counts.removed), locale.toString(counts.renamed), locale.toString(counts.raised),
             locale.toString(counts.lowered), backup);
}

} // namespace preisliste
