#include "report/changereport.h"

#include "report/tariffwalk.h"

#include "common/currency.h"
#include "common/handover.h"
#include "common/workerthread.h"
#include "common/runsinks.h"
#include "db/sqliteconnection.h"

#include <QIODevice>
#include <QStringList>

#include <cmath>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

namespace preisliste {

namespace {

// Prices compare as the amounts they stand for, in whole 1/10000 €: a price
// stored as 0.1 and one computed as 0.09999999 are the same price.
std::optional<qint64> Units(std::optional<double> price)
{
    if (!price)
        return std::nullopt;
    if (const auto amount = Currency::TryFromDouble(*price))
        return amount->Units();
    return std::nullopt;
}

// The kinds of change of one destination, as the CSV names them.
enum ChangeKind : unsigned {
    kAdded = 1u << 0,
    kRemoved = 1u << 1,
    kRenamed = 1u << 2,
    kRaised = 1u << 3,
    kLowered = 1u << 4,
    kPurchaseChanged = 1u << 5,
    kBelowCost = 1u << 6,
    kPricedZero = 1u << 7,
};

void AppendKinds(QByteArray &line, unsigned kinds)
{
    static const std::pair<ChangeKind, const char *> names[] = {
        {kAdded, "neu"},
        {kRemoved, "entfernt"},
        {kRenamed, "umbenannt"},
        {kRaised, "teurer"},
        {kLowered, "billiger"},
        {kPurchaseChanged, "Einkauf geändert"},
        {kBelowCost, "unter Einkauf"},
        {kPricedZero, "Preis 0 oder leer"},
    };
    bool first = true;
    for (const auto &[kind, name] : names) {
        if (!(kinds & kind))
            continue;
        if (!std::exchange(first, false))
            line += ", ";
        line += name;
    }
}


// Keeps the `limit` rows with the largest key, largest first; of equal keys
// the first one seen stays ahead.
void KeepLargest(QList<ReportedRow> &rows, QList<double> &keys, const ReportedRow &row, double key, int limit)
{
    qsizetype at = keys.size();
    while (at > 0 && keys.at(at - 1) < key)
        --at;
    if (at >= limit)
        return;
    rows.insert(at, row);
    keys.insert(at, key);
    if (rows.size() > limit) {
        rows.removeLast();
        keys.removeLast();
    }
}

// --- CSV --------------------------------------------------------------------

const char *const kCsvColumns[] = {
    "Vorwahl",       "Ziel",           "Art",        "alter Preis",     "neuer Preis", "Einkauf netto",
    "Einkauf brutto", "Änderung in %", "alter Name", "Zeile der Liste", "Listenzeile", "Grund",
};

} // namespace

void AppendCsvText(QByteArray &line, QByteArrayView text)
{
    const bool formula = !text.isEmpty() && QByteArrayView("=+-@\t\r").contains(text.front());
    const bool quoted = text.contains(';') || text.contains('"') || text.contains('\n') || text.contains('\r');
    if (quoted)
        line += '"';
    if (formula)
        line += '\'';
    if (quoted)
        line += text.toByteArray().replace("\"", "\"\"");
    else
        line += text;
    if (quoted)
        line += '"';
}

namespace {

// Appends `value` divided by 10^decimals with a decimal comma: the numbers of
// the CSV, written by hand because the report writes hundreds of thousands.
void AppendFixed(QByteArray &line, qint64 value, int decimals)
{
    const bool negative = value < 0;
    quint64 magnitude = negative ? 0 - quint64(value) : quint64(value);
    // Filled from the back, then appended in one piece.
    char text[32];
    char *start = std::end(text);
    for (int i = 0; i < decimals; ++i, magnitude /= 10)
        *--start = char('0' + magnitude % 10);
    if (decimals > 0)
        *--start = ',';
    do {
        *--start = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (negative)
        *--start = '-';
    line.append(start, std::end(text) - start);
}

// An amount with four decimals, as German spreadsheets read a number;
// nothing for none.
void AppendCsvAmount(QByteArray &line, std::optional<qint64> units)
{
    if (units)
        AppendFixed(line, *units, 4);
}

// A change in percent with one decimal; nothing for none or from 0.
void AppendCsvPercent(QByteArray &line, std::optional<double> fraction)
{
    if (fraction && std::isfinite(*fraction) && std::abs(*fraction) < 1e15)
        AppendFixed(line, std::llround(*fraction * 1000.0), 1);
}

class CsvWriter {
public:
    explicit CsvWriter(QIODevice *device) : device_(device) {}

    bool Enabled() const { return device_ != nullptr; }
    QIODevice *Device() const { return device_; }
    // The line under construction; EndLine() adds the line end.
    QByteArray &Line() { return buffer_; }
    void EndLine()
    {
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushBytes)
            Flush();
    }
    bool Flush()
    {
        if (device_ && !buffer_.isEmpty() && device_->write(buffer_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
        return !failed_;
    }
    QString Error() const { return device_ ? device_->errorString() : QString(); }

private:
    static constexpr qsizetype kFlushBytes = 1 << 16;
    QIODevice *device_;
    QByteArray buffer_;
    bool failed_ = false;
};

// The amounts of one prefix in whole 1/10000 €.
struct Amounts {
    std::optional<qint64> oldPrice;
    std::optional<qint64> newPrice;
    std::optional<qint64> oldPurchase;
    std::optional<qint64> purchase; // after the update, or before for a removed prefix
    std::optional<qint64> grossPurchase;
    std::optional<double> change;   // of the selling price, as a fraction
};

// Destinations for the CSV, their texts packed one after the other into one
// buffer, so that handing rows over costs one allocation per batch.
struct CsvRowBatch {
    struct Row {
        qsizetype prefixEnd; // in `texts`; the row's prefix starts where the row before ends
        qsizetype nameEnd;
        qsizetype oldNameEnd;
        bool hasOldRow;
        unsigned kinds;
        Amounts amounts;
    };
    QByteArray texts;
    std::vector<Row> rows;
};

// Writes the CSV's rows on a thread of its own while the walk goes on: the
// lines of a large tariff take about as long to make as the walk itself.
// A bounded number of rows waits to be written.
class CsvRowWriter {
public:
    explicit CsvRowWriter(QIODevice &device) : device_(device) {}
    ~CsvRowWriter() { batches_.Abandon(); } // a walk that ended early needs no more lines

    // False once writing has failed; Finish() tells why.
    bool Add(const WalkRow &shown, const WalkRow *oldRow, const Amounts &amounts, unsigned kinds)
    {
        batch_.texts += shown.prefix;
        const qsizetype prefixEnd = batch_.texts.size();
        batch_.texts += shown.name;
        const qsizetype nameEnd = batch_.texts.size();
        if (oldRow)
            batch_.texts += oldRow->name;
        batch_.rows.push_back({prefixEnd, nameEnd, batch_.texts.size(), oldRow != nullptr, kinds, amounts});
        return batch_.rows.size() < kRowsPerBatch || batches_.Put(std::exchange(batch_, {}));
    }

    // Writes the rest and waits for the thread; false when writing failed,
    // with the reason in `error`.
    bool Finish(QString &error)
    {
        if (!batch_.rows.empty())
            batches_.Put(std::exchange(batch_, {}));
        batches_.Finish();
        writing_.Join(); // raises a failure of the writing thread here
        if (failed_)
            error = device_.errorString();
        return !failed_;
    }

private:
    static constexpr std::size_t kRowsPerBatch = 1024;
    static constexpr std::size_t kBatchesAhead = 16;
    static constexpr qsizetype kFlushBytes = 1 << 16;

    void WriteBatches()
    {
        QByteArray lines;
        while (const std::optional<CsvRowBatch> batch = batches_.Take()) {
            qsizetype start = 0;
            for (const CsvRowBatch::Row &row : batch->rows) {
                AppendRow(lines, QByteArrayView(batch->texts), start, row);
                start = row.oldNameEnd;
                if (lines.size() >= kFlushBytes && !Write(lines))
                    return;
            }
        }
        Write(lines);
    }

    bool Write(QByteArray &lines)
    {
        if (!lines.isEmpty() && device_.write(lines) != lines.size())
            failed_ = true;
        lines.clear();
        return !failed_;
    }

    static void AppendRow(QByteArray &line, QByteArrayView texts, qsizetype start, const CsvRowBatch::Row &row)
    {
        const Amounts &amounts = row.amounts;
        AppendCsvText(line, texts.sliced(start, row.prefixEnd - start));
        line += ';';
        AppendCsvText(line, texts.sliced(row.prefixEnd, row.nameEnd - row.prefixEnd));
        line += ';';
        AppendKinds(line, row.kinds);
        for (const std::optional<qint64> &amount :
             {amounts.oldPrice, amounts.newPrice, amounts.purchase, amounts.grossPurchase}) {
            line += ';';
            AppendCsvAmount(line, amount);
        }
        line += ';';
        AppendCsvPercent(line, amounts.change);
        line += ';';
        if (row.hasOldRow)
            AppendCsvText(line, texts.sliced(row.nameEnd, row.oldNameEnd - row.nameEnd));
        line += ";;;\r\n";
    }

    QIODevice &device_;
    CsvRowBatch batch_;
    Handover<CsvRowBatch> batches_{kBatchesAhead};
    bool failed_ = false; // read by the walk only after the thread has ended
    // Once the writing ends, early or not, the walk's next batch is refused:
    // that is how the walk learns of a failure.
    WorkerThread writing_{[this] { WriteBatches(); }, [this] { batches_.Abandon(); }};
};

// --- The comparison ------------------------------------------------------------

class TariffComparison {
public:
    TariffComparison(const ReportSources &sources, QIODevice *csv, const ProgressSink &stop)
        : sources_(sources), csv_(csv), stop_(stop)
    {
    }

    bool Run(QString &error)
    {
        // The old rows are read ahead while the engine sorts the new ones,
        // unless both tariffs are on one connection, which serves one
        // statement at a time.
        const bool readAhead = sources_.before.connection != sources_.after.connection;
        TariffWalk before;
        TariffWalk after;
        // (A walk read ahead tells of a failure only once it has answered
        // its last row, so each walk's failure is asked of it alone.)
        if (!before.Open(sources_.before, readAhead)) {
            error = before.Error();
            return false;
        }
        if (!after.Open(sources_.after)) {
            error = after.Error();
            return false;
        }
        if (csv_.Enabled())
            rowWriter_.emplace(*csv_.Device());
        WalkRow oldRow;
        WalkRow newRow;
        qint64 steps = 0;
        while (before.HasRow() || after.HasRow()) {
            if (++steps % kRowsBetweenStopChecks == 0 && stop_.StopRequested())
                return false;
            if (writeFailed_) {
                FinishRows(error); // tells why
                return false;
            }
            const int order = !before.HasRow() ? 1
                              : !after.HasRow() ? -1
                                                : QByteArrayView(before.Prefix()).compare(after.Prefix());
            const qint64 oldRows = order <= 0 ? before.TakePrefix(oldRow) : 0;
            const qint64 newRows = order >= 0 ? after.TakePrefix(newRow) : 0;
            report_.counts.rowsBefore += oldRows;
            report_.counts.rowsAfter += newRows;
            Compare(order <= 0 ? &oldRow : nullptr, oldRows, order >= 0 ? &newRow : nullptr);
        }
        if (before.Failed() || after.Failed()) {
            error = before.Failed() ? before.Error() : after.Error();
            return false;
        }
        return FinishRows(error) && ReadSkippedLines(*sources_.after.connection, error) && FlushCsv(error);
    }

    ChangeReport TakeReport() { return std::move(report_); }

private:
    static constexpr qint64 kRowsBetweenStopChecks = 4096;


    // One prefix: its first row before (or none) and after (or none). The
    // kinds of change are found on the bytes and amounts; texts are made
    // only for the rows the report writes or keeps.
    void Compare(const WalkRow *oldRow, qint64 oldRows, const WalkRow *newRow)
    {
        ChangeCounts &counts = report_.counts;
        const Amounts amounts = AmountsOf(oldRow, newRow);
        unsigned kinds = 0;
        if (!newRow) {
            kinds |= kRemoved;
            ++counts.removed;
            counts.removedRows += oldRows;
        } else if (!oldRow) {
            kinds |= kAdded;
            ++counts.added;
        } else {
            kinds |= CompareKept(*oldRow, *newRow, amounts);
        }
        if (newRow)
            kinds |= CheckSellingPrice(amounts);
        if (kinds == 0)
            return;
        if (rowWriter_)
            WriteRow(oldRow, newRow, amounts, kinds);
        KeepForShowing(oldRow, newRow, amounts, kinds);
    }

    Amounts AmountsOf(const WalkRow *oldRow, const WalkRow *newRow) const
    {
        Amounts amounts;
        if (oldRow) {
            amounts.oldPrice = Units(oldRow->price);
            amounts.oldPurchase = Units(oldRow->purchase);
            amounts.purchase = amounts.oldPurchase;
        }
        if (newRow) {
            amounts.newPrice = Units(newRow->price);
            amounts.purchase = Units(newRow->purchase);
            if (newRow->purchase)
                amounts.grossPurchase = Units(*newRow->purchase * (1.0 + sources_.vat));
        }
        if (amounts.oldPrice && amounts.newPrice) {
            amounts.change = *amounts.oldPrice == 0
                                 ? (*amounts.newPrice > 0 ? std::numeric_limits<double>::infinity() : 0.0)
                                 : double(*amounts.newPrice - *amounts.oldPrice) / double(std::abs(*amounts.oldPrice));
        }
        return amounts;
    }

    unsigned CompareKept(const WalkRow &oldRow, const WalkRow &newRow, const Amounts &amounts)
    {
        ChangeCounts &counts = report_.counts;
        unsigned kinds = 0;
        if (oldRow.hasName != newRow.hasName || oldRow.name != newRow.name) {
            kinds |= kRenamed;
            ++counts.renamed;
        }
        if (amounts.oldPurchase != amounts.purchase) {
            kinds |= kPurchaseChanged;
            ++counts.purchaseChanged;
        }
        if (!amounts.oldPrice || !amounts.newPrice || *amounts.oldPrice == *amounts.newPrice)
            return kinds;
        if (*amounts.newPrice > *amounts.oldPrice) {
            ++counts.raised;
            return kinds | kRaised;
        }
        ++counts.lowered;
        return kinds | kLowered;
    }

    // Rows that would sell at a loss or for nothing.
    unsigned CheckSellingPrice(const Amounts &amounts)
    {
        ChangeCounts &counts = report_.counts;
        if (!amounts.newPrice || *amounts.newPrice <= 0) {
            ++counts.pricedZero;
            return kPricedZero;
        }
        if (!amounts.grossPurchase || *amounts.newPrice >= *amounts.grossPurchase)
            return 0;
        ++counts.belowCost;
        return kBelowCost;
    }

    void WriteRow(const WalkRow *oldRow, const WalkRow *newRow, const Amounts &amounts, unsigned kinds)
    {
        if (!rowWriter_->Add(newRow ? *newRow : *oldRow, oldRow, amounts, kinds))
            writeFailed_ = true;
    }

    // Keeps the row where the report shows it: among the largest changes or
    // the first rows below cost.
    void KeepForShowing(const WalkRow *oldRow, const WalkRow *newRow, const Amounts &amounts, unsigned kinds)
    {
        const int limit = ChangeReport::kLargestChangesShown;
        const bool raise = (kinds & kRaised) && Qualifies(raiseKeys_, *amounts.change, limit);
        const bool cut = (kinds & kLowered) && Qualifies(cutKeys_, -*amounts.change, limit);
        const bool belowCost = (kinds & kBelowCost) && report_.belowCost.size() < ChangeReport::kRowsShown;
        if (!raise && !cut && !belowCost)
            return;
        const ReportedRow row = Reported(oldRow, newRow, amounts);
        if (raise)
            KeepLargest(report_.largestRaises, raiseKeys_, row, *amounts.change, limit);
        if (cut)
            KeepLargest(report_.largestCuts, cutKeys_, row, -*amounts.change, limit);
        if (belowCost)
            report_.belowCost.append(row);
    }

    static bool Qualifies(const QList<double> &keys, double key, int limit)
    {
        return keys.size() < limit || keys.last() < key;
    }

    static std::optional<double> Euros(std::optional<qint64> units)
    {
        return units ? std::optional(double(*units) / double(Currency::kUnitsPerEuro)) : std::nullopt;
    }

    static ReportedRow Reported(const WalkRow *oldRow, const WalkRow *newRow, const Amounts &amounts)
    {
        const WalkRow &shown = newRow ? *newRow : *oldRow;
        return ReportedRow{QString::fromUtf8(shown.prefix),
                           QString::fromUtf8(shown.name),
                           oldRow ? QString::fromUtf8(oldRow->name) : QString(),
                           Euros(amounts.oldPrice),
                           Euros(amounts.newPrice),
                           Euros(amounts.purchase),
                           Euros(amounts.grossPurchase),
                           amounts.change};
    }

    bool ReadSkippedLines(const SqliteConnection &connection, QString &error)
    {
        if (sources_.skippedLines.isEmpty())
            return true;
        SqliteStatement lines;
        if (!lines.Prepare(connection, QStringLiteral("SELECT LineNumber, Line, Reason FROM %1 ORDER BY LineNumber")
                                       .arg(sources_.skippedLines))) {
            error = lines.Error();
            return false;
        }
        while (lines.Next()) {
            const SkippedLine line{lines.Int64(0), lines.Text(1), lines.Text(2)};
            ++report_.counts.skippedLines;
            if (report_.skippedLines.size() < ChangeReport::kRowsShown)
                report_.skippedLines.append(line);
            if (csv_.Enabled())
                WriteSkippedLine(line);
        }
        error = lines.Error();
        return !lines.Failed();
    }

    void WriteSkippedLine(const SkippedLine &skipped)
    {
        QByteArray &line = csv_.Line();
        line += ";;übersprungen;;;;;;;" + QByteArray::number(skipped.lineNumber) + ';';
        AppendCsvText(line, skipped.line.toUtf8());
        line += ';';
        AppendCsvText(line, skipped.reason.toUtf8());
        csv_.EndLine();
    }

    // The rows' lines are all written before the skipped lines follow them.
    bool FinishRows(QString &error)
    {
        if (!rowWriter_ || rowWriter_->Finish(error))
            return true;
        error = QStringLiteral("Der Bericht konnte nicht geschrieben werden: ") + error;
        return false;
    }

    bool FlushCsv(QString &error)
    {
        if (csv_.Flush())
            return true;
        error = QStringLiteral("Der Bericht konnte nicht geschrieben werden: ") + csv_.Error();
        return false;
    }

    const ReportSources &sources_;
    CsvWriter csv_; // the skipped lines, once the rows are written
    std::optional<CsvRowWriter> rowWriter_;
    bool writeFailed_ = false;
    const ProgressSink &stop_;
    ChangeReport report_;
    QList<double> raiseKeys_;
    QList<double> cutKeys_;
};

} // namespace

QString ChangeReportCsvHeader()
{
    QStringList columns;
    for (const char *column : kCsvColumns)
        columns.append(QString::fromUtf8(column));
    return columns.join(u';');
}

std::optional<ChangeReport> CompareTariffs(const ReportSources &sources, QIODevice *csv, const ProgressSink &stop,
                                           QString &error)
{
    error.clear();
    if (csv) {
        // The byte-order mark tells Excel that the file is UTF-8.
        const QByteArray head = "\xEF\xBB\xBF" + ChangeReportCsvHeader().toUtf8() + "\r\n";
        if (csv->write(head) != head.size()) {
            error = QStringLiteral("Der Bericht konnte nicht geschrieben werden: ") + csv->errorString();
            return std::nullopt;
        }
    }
    TariffComparison comparison(sources, csv, stop);
    if (!comparison.Run(error))
        return std::nullopt;
    return comparison.TakeReport();
}

} // namespace preisliste
