#include "report/reporttext.h"

#include "common/localeformat.h"

#include <cmath>

namespace preisliste {

namespace {

// A list line is shown at most this long; the CSV holds it whole.
constexpr qsizetype kLineShown = 80;

QString Amount(std::optional<double> value, const QLocale &locale)
{
    if (!value)
        return QStringLiteral("leer");
    const auto amount = Currency::TryFromDouble(*value);
    return amount ? FormatCurrency(*amount, locale, 4) : QStringLiteral("?");
}

QString Destination(const ReportedRow &row)
{
    return row.name.isEmpty() ? row.prefix : row.prefix + u' ' + row.name;
}

QString ChangeInPercent(const ReportedRow &row, const QLocale &locale)
{
    if (!row.change || !std::isfinite(*row.change))
        return QStringLiteral("vorher 0");
    return (*row.change > 0 ? QStringLiteral("+") : QString()) + FormatPercent(*row.change, locale);
}

QString PriceChangeLine(const ReportedRow &row, const QLocale &locale)
{
    return QStringLiteral("  %1: %2 → %3 (%4)")
        .arg(Destination(row), Amount(row.oldPrice, locale), Amount(row.newPrice, locale),
             ChangeInPercent(row, locale));
}

QString RestLine(qint64 total, qsizetype shown)
{
    return total > shown ? QStringLiteral("  … und %1 weitere (alle im Bericht)").arg(total - shown) : QString();
}

QString Joined(QStringList lines)
{
    lines.removeAll(QString());
    return lines.join(u'\n');
}

} // namespace

QStringList ReportWarnings(const ChangeReport &report, const QLocale &locale)
{
    const ChangeCounts &counts = report.counts;
    QStringList warnings;
    if (counts.belowCost > 0)
        warnings.append(QStringLiteral("%1 Tarifzeilen verkaufen unter dem Einkaufspreis mit MwSt.")
                            .arg(locale.toString(counts.belowCost)));
    if (counts.pricedZero > 0)
        warnings.append(QStringLiteral("%1 Tarifzeilen haben den Verkaufspreis 0 oder keinen.")
                            .arg(locale.toString(counts.pricedZero)));
    if (counts.skippedLines > 0)
        warnings.append(QStringLiteral("%1 Zeilen der Preisliste wurden übersprungen.")
                            .arg(locale.toString(counts.skippedLines)));
    return warnings;
}

QString ReportCountsText(const ChangeReport &report, const QLocale &locale)
{
    const ChangeCounts &counts = report.counts;
    const std::pair<QString, qint64> lines[] = {
        {QStringLiteral("Neue Ziele"), counts.added},
        {QStringLiteral("Entfernte Ziele"), counts.removed},
        {QStringLiteral("Umbenannte Ziele"), counts.renamed},
        {QStringLiteral("Verkaufspreis erhöht"), counts.raised},
        {QStringLiteral("Verkaufspreis gesenkt"), counts.lowered},
        {QStringLiteral("Einkaufspreis geändert"), counts.purchaseChanged},
        {QStringLiteral("Unter Einkaufspreis (brutto)"), counts.belowCost},
        {QStringLiteral("Verkaufspreis 0 oder leer"), counts.pricedZero},
        {QStringLiteral("Übersprungene Listenzeilen"), counts.skippedLines},
    };
    QStringList text{QStringLiteral("Änderungen im Tarif (%1 Zeilen vorher, %2 nachher):")
                         .arg(locale.toString(counts.rowsBefore), locale.toString(counts.rowsAfter))};
    for (const auto &[label, count] : lines)
        text.append(QStringLiteral("  %1: %2").arg(label, locale.toString(count)));
    return text.join(u'\n');
}

QString LargestChangesText(const ChangeReport &report, const QLocale &locale)
{
    QStringList text;
    if (!report.largestRaises.isEmpty())
        text.append(QStringLiteral("Größte Erhöhungen:"));
    for (const ReportedRow &row : report.largestRaises)
        text.append(PriceChangeLine(row, locale));
    if (!report.largestCuts.isEmpty())
        text.append(QStringLiteral("Größte Senkungen:"));
    for (const ReportedRow &row : report.largestCuts)
        text.append(PriceChangeLine(row, locale));
    return text.join(u'\n');
}

QString BelowCostText(const ChangeReport &report, const QLocale &locale)
{
    if (report.counts.belowCost == 0)
        return {};
    QStringList text{QStringLiteral("Unter dem Einkaufspreis mit MwSt (%1):").arg(report.counts.belowCost)};
    for (const ReportedRow &row : report.belowCost)
        text.append(QStringLiteral("  %1: Verkauf %2, Einkauf brutto %3")
                        .arg(Destination(row), Amount(row.newPrice, locale), Amount(row.grossPurchase, locale)));
    text.append(RestLine(report.counts.belowCost, report.belowCost.size()));
    return Joined(text);
}

QString SkippedLinesText(const ChangeReport &report, const QLocale &locale)
{
    if (report.counts.skippedLines == 0)
        return {};
    QStringList text{QStringLiteral("Übersprungene Zeilen der Preisliste (%1):").arg(report.counts.skippedLines)};
    for (const SkippedLine &line : report.skippedLines) {
        const QString shown = line.line.size() > kLineShown ? line.line.left(kLineShown) + u'…' : line.line;
        text.append(QStringLiteral("  Zeile %1: „%2“ – %3").arg(locale.toString(line.lineNumber), shown, line.reason));
    }
    text.append(RestLine(report.counts.skippedLines, report.skippedLines.size()));
    return Joined(text);
}

QString ReportDetailsText(const ChangeReport &report, const QLocale &locale, const QString &savedAt)
{
    QStringList parts;
    const QStringList warnings = ReportWarnings(report, locale);
    if (!warnings.isEmpty())
        parts.append(QStringLiteral("Achtung: ") + warnings.join(QStringLiteral("\nAchtung: ")));
    parts.append(ReportCountsText(report, locale));
    parts.append(LargestChangesText(report, locale));
    parts.append(BelowCostText(report, locale));
    parts.append(SkippedLinesText(report, locale));
    if (!savedAt.isEmpty())
        parts.append(QStringLiteral("Der ganze Bericht: ") + savedAt);
    parts.removeAll(QString());
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace preisliste
