#include "history/historyreport.h"

#include "report/changereport.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace preisliste {

namespace {

const QString kNone = QStringLiteral("–");
const QString kTimeFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss");

QString BareOutcomeText(const HistoryRecord &record)
{
    switch (record.outcome) {
    case HistoryOutcome::Committed:
        return record.dryRun ? QStringLiteral("wäre gespeichert") : QStringLiteral("gespeichert");
    case HistoryOutcome::Failed:
        return QStringLiteral("fehlgeschlagen");
    case HistoryOutcome::Stopped:
        return QStringLiteral("abgebrochen");
    case HistoryOutcome::Refused:
        return QStringLiteral("abgelehnt");
    case HistoryOutcome::Unchanged:
        return QStringLiteral("unverändert");
    case HistoryOutcome::NotYetEffective:
        return QStringLiteral("noch nicht gültig");
    }
    return {};
}

QString SourceText(const HistoryRecord &record)
{
    if (!record.customerId.isEmpty())
        return QStringLiteral("Kunden-ID %1, %2").arg(record.customerId, record.server);
    return record.sourceFile.isEmpty() ? QStringLiteral("keine Preisliste") : record.sourceFile;
}

QString Or(const QString &text) { return text.isEmpty() ? kNone : text; }

QString NumberText(std::optional<qint64> value, const QLocale &locale)
{
    return value ? locale.toString(*value) : kNone;
}

QString TimeText(const std::optional<QDateTime> &time, const QLocale &locale)
{
    return time && time->isValid() ? locale.toString(*time, kTimeFormat) : kNone;
}

QString SecondsText(const HistoryRecord &record, const QLocale &locale)
{
    return locale.toString(double(record.DurationMs()) / 1000.0, 'f', 1);
}

std::optional<qint64> CountOf(const HistoryRecord &record, qint64 ChangeCounts::*field)
{
    return record.changes ? std::optional((*record.changes).*field) : std::nullopt;
}

QStringList TableRow(const HistoryRecord &record, const QLocale &locale)
{
    return {TimeText(record.started, locale),
            SecondsText(record, locale) + QStringLiteral(" s"),
            OutcomeText(record),
            SourceText(record),
            Or(record.listId),
            NumberText(record.listSequence, locale),
            TimeText(record.effective, locale),
            NumberText(CountOf(record, &ChangeCounts::added), locale),
            NumberText(CountOf(record, &ChangeCounts::removed), locale),
            NumberText(record.repriced, locale),
            record.backupFile.isEmpty() ? kNone : QFileInfo(record.backupFile).fileName()};
}

// Pads every column but the last to its widest cell.
QString AlignedTable(const QList<QStringList> &rows)
{
    QList<qsizetype> widths(rows.constFirst().size(), 0);
    for (const QStringList &row : rows)
        for (qsizetype column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    QStringList lines;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype column = 0; column + 1 < row.size(); ++column)
            line += row[column].leftJustified(widths[column]) + QStringLiteral("  ");
        lines.append(line + row.constLast());
    }
    return lines.join(u'\n');
}

const char *const kCsvColumns[] = {
    "Beginn", "Ende", "Dauer in s", "Ergebnis", "Probelauf", "Meldung", "Datei", "Kunden-ID", "Server",
    "List-ID", "List-Sequence", "Effective", "SHA-256", "Identischer Name", "Identischer Prefix", "Neuer Prefix",
    "Neue Subdestination", "Ganz neue Destinationen", "Neu berechnet", "Zeilen vorher", "Zeilen nachher",
    "Neue Ziele", "Entfernte Ziele", "Entfernte Zeilen", "Umbenannt", "Teurer", "Billiger",
    "Einkauf geändert", "Unter Einkauf", "Preis 0", "Übersprungene Zeilen", "Sicherung", "Bericht",
};

class CsvLine {
public:
    void Text(const QString &text)
    {
        Separate();
        AppendCsvText(line_, text.toUtf8());
    }
    void Number(std::optional<qint64> value)
    {
        Separate();
        if (value)
            line_ += QByteArray::number(*value);
    }
    QByteArray Finish() { return line_ + "\r\n"; }

private:
    void Separate()
    {
        if (started_)
            line_ += ';';
        started_ = true;
    }
    QByteArray line_;
    bool started_ = false;
};

QByteArray CsvRecord(const HistoryRecord &record)
{
    // The spreadsheet reads German numbers and times.
    const QLocale german(QLocale::German, QLocale::Germany);
    CsvLine line;
    line.Text(TimeText(record.started, german));
    line.Text(TimeText(record.ended, german));
    line.Text(SecondsText(record, german));
    line.Text(BareOutcomeText(record));
    line.Text(record.dryRun ? QStringLiteral("ja") : QStringLiteral("nein"));
    line.Text(record.message);
    line.Text(record.sourceFile);
    line.Text(record.customerId);
    line.Text(record.server);
    line.Text(record.listId);
    line.Number(record.listSequence);
    line.Text(record.effective ? TimeText(record.effective, german) : QString());
    line.Text(record.sha256);
    for (const auto field : kMergeFigures)
        line.Number(record.merge ? std::optional<qint64>((*record.merge).*field) : std::nullopt);
    line.Number(record.repriced);
    for (const auto field : kChangeFigures)
        line.Number(CountOf(record, field));
    line.Text(record.backupFile);
    line.Text(record.reportFile);
    return line.Finish();
}

} // namespace

QString OutcomeText(const HistoryRecord &record)
{
    QString text = BareOutcomeText(record);
    if (!record.message.isEmpty())
        text += QStringLiteral(": ") + record.message;
    return record.dryRun ? QStringLiteral("Probelauf: ") + text : text;
}

QString HistoryTable(const QList<HistoryRecord> &records, const QLocale &locale)
{
    QList<QStringList> rows{{QStringLiteral("Beginn"), QStringLiteral("Dauer"), QStringLiteral("Ergebnis"),
                             QStringLiteral("Quelle"), QStringLiteral("List-ID"), QStringLiteral("Sequenz"),
                             QStringLiteral("Gültig ab"), QStringLiteral("Neue Ziele"),
                             QStringLiteral("Entfernte Ziele"), QStringLiteral("Neu berechnet"),
                             QStringLiteral("Sicherung")}};
    for (const HistoryRecord &record : records)
        rows.append(TableRow(record, locale));
    return AlignedTable(rows);
}

QByteArray HistoryCsv(const QList<HistoryRecord> &records)
{
    CsvLine head;
    for (const char *column : kCsvColumns)
        head.Text(QString::fromUtf8(column));
    // The byte-order mark tells Excel that the file is UTF-8.
    QByteArray csv = "\xEF\xBB\xBF" + head.Finish();
    for (const HistoryRecord &record : records)
        csv += CsvRecord(record);
    return csv;
}

} // namespace preisliste
