#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

class QIODevice;

namespace preisliste {

class ProgressSink;
class SqliteConnection;

// One destination of the tariff as a report shows it: the row of its prefix
// before and after the update. A side the prefix is missing on is empty.
struct ReportedRow {
    QString prefix;
    QString name;
    QString oldName;
    std::optional<double> oldPrice;
    std::optional<double> newPrice;
    std::optional<double> purchase;      // net, after the update
    std::optional<double> grossPurchase; // with VAT
    std::optional<double> change;        // of the selling price, a fraction; infinite from 0
};

// A line of the price list that the import did not take.
struct SkippedLine {
    qint64 lineNumber = 0;
    QString line;
    QString reason;
};

// How many destinations changed in which way. A prefix is one destination:
// where a tariff holds a prefix twice, its first row stands for it, but
// every row of a removed prefix counts in removedRows.
struct ChangeCounts {
    qint64 rowsBefore = 0;
    qint64 rowsAfter = 0;
    qint64 added = 0;
    qint64 removed = 0;
    qint64 removedRows = 0;
    qint64 renamed = 0;
    qint64 raised = 0;
    qint64 lowered = 0;
    qint64 purchaseChanged = 0;
    qint64 belowCost = 0;  // selling price below the purchase price with VAT
    qint64 pricedZero = 0; // selling price 0, below 0 or none
    qint64 skippedLines = 0;
};

// What an update changed in the tariff, with the rows worth a look. Only a
// few rows of each kind are held, whatever the size of the tariff; the whole
// report goes to the CSV file.
struct ChangeReport {
    static constexpr int kLargestChangesShown = 10;
    static constexpr int kRowsShown = 20;

    ChangeCounts counts;
    QList<ReportedRow> largestRaises; // largest rise in percent first
    QList<ReportedRow> largestCuts;   // largest cut in percent first
    QList<ReportedRow> belowCost;     // the first kRowsShown, by prefix
    QList<SkippedLine> skippedLines;  // the first kRowsShown, by line number
};

// One state of the tariff: a table with the columns of Numbers on a
// connection. `sortedByPrefix` says that its rows are stored in the order of
// their prefixes already, so the walk need not sort them.
struct TariffState {
    const SqliteConnection *connection = nullptr;
    QString table;
    bool sortedByPrefix = false;
};

// What to compare: for example the copy taken at the start of a run and
// Numbers itself, or Numbers of an attached backup and of the database.
struct ReportSources {
    TariffState before;
    TariffState after;
    QString skippedLines; // a table of skipped list lines on the after side's connection, or empty
    double vat = 0.0;     // as a fraction, for the gross purchase price
};

// Compares the two states by prefix in one sorted walk over each and, when
// `csv` is given, writes every destination that changed or needs a look and
// every skipped line to it as CSV. Empty after an error or a stop, with
// `error` set (empty for a stop).
std::optional<ChangeReport> CompareTariffs(const ReportSources &sources, QIODevice *csv, const ProgressSink &stop,
                                           QString &error);

// The CSV's first line; German spreadsheets open the file as it is.
QString ChangeReportCsvHeader();

// Appends `text` (UTF-8) to a CSV line as one field: quoted when it holds the
// separator ";", a quote or a line end; a text a spreadsheet would take for a
// formula gets a leading apostrophe, so that a name from a price list can
// never run as one. Works on the bytes: every character it looks at is ASCII.
void AppendCsvText(QByteArray &line, QByteArrayView text);

} // namespace preisliste
