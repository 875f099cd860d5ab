#include "report/changereport.h"

#include "common/currency.h"
#include "common/runsinks.h"
#include "db/sqlitestatement.h"

#include <QIODevice>
#include <QStringList>

#include <cmath>
#include <cstring>
#include <limits>

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

bool SameAmount(std::optional<double> a, std::optional<double> b)
{
    return Units(a) == Units(b);
}

// One row of a tariff in the walk; the buffers are reused from row to row.
struct WalkRow {
    QByteArray prefix;
    QByteArray name;
    bool hasName = false;
    std::optional<double> price;
    std::optional<double> purchase;
};

void CopyInto(QByteArray &target, QByteArrayView bytes)
{
    target.resize(bytes.size());
    if (!bytes.isEmpty())
        std::memcpy(target.data(), bytes.data(), size_t(bytes.size()));
}

// The rows of one tariff sorted by prefix, handed out one prefix at a time.
class TariffWalk {
public:
    bool Open(sqlite3 *handle, const QString &table)
    {
        // A row without a prefix sorts as the empty prefix; CAST keeps a
        // prefix stored as a number in the text order of the rest.
        if (!rows_.Prepare(handle, QStringLiteral("SELECT CAST(ifnull(Number, '') AS TEXT) AS Prefix, Name, "
                                                  "Price_EUR, Rate_EK FROM %1 ORDER BY Prefix, rowid")
                                       .arg(table)))
            return false;
        Step();
        return !rows_.Failed();
    }
    bool HasRow() const { return hasRow_; }
    const QByteArray &Prefix() const { return current_.prefix; }
    bool Failed() const { return rows_.Failed(); }
    const QString &Error() const { return rows_.Error(); }

    // Moves the first row of the current prefix into `row` and skips the
    // prefix's other rows; returns how many rows the prefix has.
    qint64 TakePrefix(WalkRow &row)
    {
        std::swap(row, current_);
        qint64 count = 1;
        for (Step(); hasRow_ && current_.prefix == row.prefix; Step())
            ++count;
        return count;
    }

private:
    void Step()
    {
        hasRow_ = rows_.Next();
        if (!hasRow_)
            return;
        CopyInto(current_.prefix, rows_.Utf8(0));
        current_.hasName = !rows_.IsNull(1);
        CopyInto(current_.name, rows_.Utf8(1));
        current_.price = rows_.Price(2);
        current_.purchase = rows_.Price(3);
    }

    SqliteStatement rows_;
    WalkRow current_;
    bool hasRow_ = false;
};

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

QString KindText(unsigned kinds)
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
    QStringList parts;
    for (const auto &[kind, name] : names) {
        if (kinds & kind)
            parts.append(QString::fromUtf8(name));
    }
    return parts.join(QStringLiteral(", "));
}

// The change of the selling price as a fraction of the old one; infinity
// for a price that had been 0.
std::optional<double> PriceChangeFraction(const ReportedRow &row)
{
    if (!row.oldPrice || !row.newPrice)
        return std::nullopt;
    if (*row.oldPrice == 0.0)
        return *row.newPrice > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return (*row.newPrice - *row.oldPrice) / std::abs(*row.oldPrice);
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

const QString kCsvColumns[] = {
    QStringLiteral("Vorwahl"),         QStringLiteral("Ziel"),           QStringLiteral("Art"),
    QStringLiteral("alter Preis"),     QStringLiteral("neuer Preis"),    QStringLiteral("Einkauf netto"),
    QStringLiteral("Einkauf brutto"),  QStringLiteral("Änderung in %"), QStringLiteral("alter Name"),
    QStringLiteral("Zeile der Liste"), QStringLiteral("Listenzeile"),    QStringLiteral("Grund"),
};

// A text as a CSV field: quoted when it holds the separator, a quote or a
// line end; a text a spreadsheet would take for a formula gets a leading
// apostrophe, so that a name from a price list can never run as one.
QString CsvText(const QString &text)
{
    QString field = text;
    if (!field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front()))
        field.prepend(u'\'');
    if (field.contains(u';') || field.contains(u'"') || field.contains(u'\n') || field.contains(u'\r')) {
        field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        field = u'"' + field + u'"';
    }
    return field;
}

// An amount with a decimal comma and four decimals, as German spreadsheets
// read a number.
QString CsvAmount(std::optional<double> value)
{
    if (!value)
        return {};
    const auto amount = Currency::TryFromDouble(*value);
    return amount ? amount->ToString(4).replace(u'.', u',') : QString();
}

QString CsvPercent(std::optional<double> fraction)
{
    if (!fraction || !std::isfinite(*fraction))
        return {};
    return QString::number(*fraction * 100.0, 'f', 1).replace(u'.', u',');
}

class CsvWriter {
public:
    explicit CsvWriter(QIODevice *device) : device_(device) {}

    void Row(const QStringList &fields)
    {
        if (!device_)
            return;
        buffer_ += fields.join(u';').toUtf8();
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
    bool Failed() const { return failed_; }
    QString Error() const { return device_ ? device_->errorString() : QString(); }

private:
    static constexpr qsizetype kFlushBytes = 1 << 16;
    QIODevice *device_;
    QByteArray buffer_;
    bool failed_ = false;
};

void WriteReportedRow(CsvWriter &csv, const ReportedRow &row, unsigned kinds)
{
    csv.Row({CsvText(row.prefix), CsvText(row.name), KindText(kinds), CsvAmount(row.oldPrice),
             CsvAmount(row.newPrice), CsvAmount(row.purchase), CsvAmount(row.grossPurchase),
             CsvPercent(PriceChangeFraction(row)), CsvText(row.oldName), QString(), QString(), QString()});
}

void WriteSkippedLine(CsvWriter &csv, const SkippedLine &line)
{
    csv.Row({QString(), QString(), QStringLiteral("übersprungen"), QString(), QString(), QString(), QString(),
             QString(), QString(), QString::number(line.lineNumber), CsvText(line.line), CsvText(line.reason)});
}

// --- The comparison ------------------------------------------------------------

class TariffComparison {
public:
    TariffComparison(const ReportSources &sources, QIODevice *csv, const ProgressSink &stop)
        : sources_(sources), csv_(csv), stop_(stop)
    {
    }

    bool Run(sqlite3 *handle, QString &error)
    {
        TariffWalk before;
        TariffWalk after;
        if (!before.Open(handle, sources_.before) || !after.Open(handle, sources_.after)) {
            error = before.Failed() ? before.Error() : after.Error();
            return false;
        }
        WalkRow oldRow;
        WalkRow newRow;
        qint64 steps = 0;
        while (before.HasRow() || after.HasRow()) {
            if (++steps % kRowsBetweenStopChecks == 0 && stop_.StopRequested())
                return false;
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
        return ReadSkippedLines(handle, error) && FlushCsv(error);
    }

    ChangeReport TakeReport() { return std::move(report_); }

private:
    static constexpr qint64 kRowsBetweenStopChecks = 4096;

    std::optional<double> Gross(std::optional<double> net) const
    {
        if (!net)
            return std::nullopt;
        const auto amount = Currency::TryFromDouble(*net * (1.0 + sources_.vat));
        return amount ? std::optional(amount->ToDouble()) : std::nullopt;
    }

    // One prefix: its first row before (or none) and after (or none).
    void Compare(const WalkRow *oldRow, qint64 oldRows, const WalkRow *newRow)
    {
        ChangeCounts &counts = report_.counts;
        ReportedRow row;
        unsigned kinds = 0;
        const WalkRow &any = newRow ? *newRow : *oldRow;
        row.prefix = QString::fromUtf8(any.prefix);
        if (oldRow) {
            row.oldName = QString::fromUtf8(oldRow->name);
            row.oldPrice = oldRow->price;
        }
        if (newRow) {
            row.name = QString::fromUtf8(newRow->name);
            row.newPrice = newRow->price;
            row.purchase = newRow->purchase;
            row.grossPurchase = Gross(newRow->purchase);
        }
        if (!newRow) {
            kinds |= kRemoved;
            ++counts.removed;
            counts.removedRows += oldRows;
            row.name = row.oldName;
            row.purchase = oldRow->purchase;
        } else if (!oldRow) {
            kinds |= kAdded;
            ++counts.added;
        } else {
            kinds |= CompareKept(*oldRow, *newRow, row);
        }
        if (newRow)
            kinds |= CheckSellingPrice(row);
        if (kinds != 0)
            WriteReportedRow(csv_, row, kinds);
    }

    unsigned CompareKept(const WalkRow &oldRow, const WalkRow &newRow, const ReportedRow &row)
    {
        ChangeCounts &counts = report_.counts;
        unsigned kinds = 0;
        if (oldRow.hasName != newRow.hasName || oldRow.name != newRow.name) {
            kinds |= kRenamed;
            ++counts.renamed;
        }
        if (!SameAmount(oldRow.purchase, newRow.purchase)) {
            kinds |= kPurchaseChanged;
            ++counts.purchaseChanged;
        }
        const std::optional<qint64> oldUnits = Units(oldRow.price);
        const std::optional<qint64> newUnits = Units(newRow.price);
        if (!oldUnits || !newUnits || *oldUnits == *newUnits)
            return kinds;
        const double fraction = *PriceChangeFraction(row);
        if (*newUnits > *oldUnits) {
            kinds |= kRaised;
            ++counts.raised;
            KeepLargest(report_.largestRaises, raiseKeys_, row, fraction, ChangeReport::kLargestChangesShown);
        } else {
            kinds |= kLowered;
            ++counts.lowered;
            KeepLargest(report_.largestCuts, cutKeys_, row, -fraction, ChangeReport::kLargestChangesShown);
        }
        return kinds;
    }

    // Rows that would sell at a loss or for nothing.
    unsigned CheckSellingPrice(const ReportedRow &row)
    {
        ChangeCounts &counts = report_.counts;
        const std::optional<qint64> price = Units(row.newPrice);
        if (!price || *price <= 0) {
            ++counts.pricedZero;
            return kPricedZero;
        }
        const std::optional<qint64> gross = Units(row.grossPurchase);
        if (!gross || *price >= *gross)
            return 0;
        ++counts.belowCost;
        if (report_.belowCost.size() < ChangeReport::kRowsShown)
            report_.belowCost.append(row);
        return kBelowCost;
    }

    bool ReadSkippedLines(sqlite3 *handle, QString &error)
    {
        if (sources_.skippedLines.isEmpty())
            return true;
        SqliteStatement lines;
        if (!lines.Prepare(handle, QStringLiteral("SELECT LineNumber, Line, Reason FROM %1 ORDER BY LineNumber")
                                       .arg(sources_.skippedLines))) {
            error = lines.Error();
            return false;
        }
        while (lines.Next()) {
            const SkippedLine line{lines.Int64(0), lines.Text(1), lines.Text(2)};
            ++report_.counts.skippedLines;
            if (report_.skippedLines.size() < ChangeReport::kRowsShown)
                report_.skippedLines.append(line);
            WriteSkippedLine(csv_, line);
        }
        error = lines.Error();
        return !lines.Failed();
    }

    bool FlushCsv(QString &error)
    {
        if (csv_.Flush())
            return true;
        error = QStringLiteral("Der Bericht konnte nicht geschrieben werden: ") + csv_.Error();
        return false;
    }

    const ReportSources &sources_;
    CsvWriter csv_;
    const ProgressSink &stop_;
    ChangeReport report_;
    QList<double> raiseKeys_;
    QList<double> cutKeys_;
};

} // namespace

QString ChangeReportCsvHeader()
{
    QStringList columns;
    for (const QString &column : kCsvColumns)
        columns.append(column);
    return columns.join(u';');
}

std::optional<ChangeReport> CompareTariffs(sqlite3 *handle, const ReportSources &sources, QIODevice *csv,
                                           const ProgressSink &stop, QString &error)
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
    if (!comparison.Run(handle, error))
        return std::nullopt;
    return comparison.TakeReport();
}

} // namespace preisliste
