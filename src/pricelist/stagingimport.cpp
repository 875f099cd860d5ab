#include "pricelist/stagingimport.h"

#include "common/currency.h"
#include "common/handover.h"
#include "common/workerthread.h"
#include "common/numerictext.h"
#include "db/runcontext.h"
#include "db/sqliteconnection.h"
#include "pricelist/pricelistfile.h"

#include <utility>
#include <vector>

namespace preisliste {

namespace {

// Text columns of the staging table take at most 255 characters; a longer
// value is left unset, as the original engine left it.
constexpr qsizetype kMaxTextLength = 255;

// Whether the staging table keeps a text value: empty or overlong is unset.
bool IsStoredText(const std::optional<QString> &text)
{
    return text && !text->isEmpty() && text->size() <= kMaxTextLength;
}

// Prices from here on are no calls' prices but a wrong column or a typo;
// the merge has always dropped them.
constexpr double kHighestPurchasePrice = 3.0;

std::optional<QString> PrefixProblem(const std::optional<QString> &prefix)
{
    if (!prefix || prefix->isEmpty())
        return QStringLiteral("Vorwahl fehlt");
    if (prefix->size() > kMaxTextLength)
        return QStringLiteral("Vorwahl hat mehr als %1 Zeichen").arg(kMaxTextLength);
    if (!IsNumericText(QStringView(*prefix)))
        return QStringLiteral("Vorwahl ist keine Zahl");
    return std::nullopt;
}

// The purchase price of a data line as the staging table keeps it, in whole
// 1/10000 €, or why the line is skipped.
struct PriceCheck {
    std::optional<QString> problem;
    double price = 0.0;
};

PriceCheck CheckPrice(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return {QStringLiteral("Preis fehlt")};
    const std::optional<double> number = TryReadLeadingNumber(*text);
    if (!number)
        return {QStringLiteral("Preis ist keine Zahl")};
    if (*number < 0)
        return {QStringLiteral("Preis ist negativ")};
    const std::optional<Currency> price = Currency::TryFromDouble(*number);
    if (!price || price->ToDouble() >= kHighestPurchasePrice)
        return {QStringLiteral("Preis von 3 € oder mehr")};
    return {std::nullopt, price->ToDouble()};
}

// The one prepared insert of the import, run once per line inside the run's
// transaction. The texts are bound without a copy: they live until the
// insert has run.
class StagingInsert {
public:
    StagingInsert(const SqliteConnection &database, const StagingStatement &staging)
        : statement_(database.Prepare(staging.sql)), staging_(staging)
    {
    }

    bool IsPrepared() const { return !statement_.Failed(); }

    bool Insert(std::optional<QByteArrayView> prefix, std::optional<QByteArrayView> destination, double price)
    {
        BindText(1, prefix);
        BindText(2, destination);
        statement_.BindDouble(3, price);
        if (staging_.bindMore && !staging_.bindMore(statement_, destination)) {
            error_ = staging_.error ? staging_.error() : QString();
            return false;
        }
        return statement_.Run();
    }

    const QString &Error() const { return error_.isEmpty() ? statement_.Error() : error_; }

private:
    void BindText(int index, std::optional<QByteArrayView> text)
    {
        if (text)
            statement_.BindStaticText(index, *text);
        else
            statement_.BindNull(index);
    }

    SqliteStatement statement_;
    const StagingStatement &staging_;
    QString error_;
};

StageResult RejectFile(const QString &reason)
{
    return StageResult::Failed(reason, FailureKind::WrongFile);
}

// Empty when the tables are ready, else why not.
std::optional<QString> CreateStagingTables(RunContext &context)
{
    SqliteConnection &database = context.database;
    if (database.Exec(QStringLiteral("DROP TABLE IF EXISTS temp.Import2")) && database.Exec(kCreateImport2Statement)
        && database.Exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS SkippedLines "
                                        "(LineNumber INTEGER, Line TEXT, Reason TEXT)"))
        && database.Exec(QStringLiteral("DELETE FROM ") + kSkippedLinesTable))
        return std::nullopt;
    return database.Error();
}

// Records the lines the import does not take. Few lines of a real list are
// skipped, so one plain prepared insert is quick enough.
class SkippedLineRecorder {
public:
    explicit SkippedLineRecorder(const SqliteConnection &database)
    {
        statement_.Prepare(database, QStringLiteral("INSERT INTO %1 (LineNumber, Line, Reason) "
                                                                  "VALUES (?1, ?2, ?3)")
                                                       .arg(kSkippedLinesTable));
    }
    bool Record(qint64 lineNumber, const QString &line, const QString &reason)
    {
        statement_.BindInt64(1, lineNumber);
        statement_.BindString(2, line);
        statement_.BindString(3, reason);
        return statement_.Run();
    }
    bool Failed() const { return statement_.Failed(); }
    const QString &Error() const { return statement_.Error(); }

private:
    SqliteStatement statement_;
};

// A list saved with commas between its fields (as spreadsheet programs do
// in English settings) would import as prefixes without destinations or
// prices. It is told from a list of ours by its data lines: commas in them,
// but not a single semicolon.
class SeparatorCheck {
public:
    void Note(const QString &dataLine)
    {
        if (semicolons_)
            return; // one semicolon settles it
        semicolons_ = dataLine.contains(u';');
        commas_ = commas_ || dataLine.contains(u',');
    }
    bool LooksCommaSeparated() const { return commas_ && !semicolons_; }

    static QString Message(const QString &path)
    {
        return QStringLiteral("Die Preisliste %1 ist offenbar durch Kommas getrennt: Keine Datenzeile enthält ein "
                              "Semikolon. Die Felder müssen durch „;“ getrennt sein (Vorwahl;Ziel;Preis); bitte die "
                              "Datei mit Semikolon als Trennzeichen speichern.")
            .arg(path);
    }

private:
    bool semicolons_ = false;
    bool commas_ = false;
};

int PercentRead(const PriceListReader &reader)
{
    return reader.Size() > 0 ? int((reader.Position() * 100 + reader.Size() / 2) / reader.Size()) : 100;
}

// Why a data line is skipped, or the purchase price it is staged with.
PriceCheck CheckDataLine(const QString &line, const PriceListFields &fields)
{
    if (!fields[0]) {
        // A list saved with the wrong separator has one field per line.
        if (!line.contains(u';') && line.contains(u','))
            return {QStringLiteral("zu wenige Felder: Die Zeile ist mit „,“ getrennt, die Preisliste braucht „;“")};
        return {QStringLiteral("zu wenige Felder (Vorwahl;Ziel;Preis)")};
    }
    if (auto problem = PrefixProblem(fields[0]))
        return {problem};
    return CheckPrice(fields[2]);
}

// Data lines as read, split and checked: each line's prefix, name and
// purchase price as Import2 stores them, or the line as it stands and why
// it is skipped. The texts to store lie one after the other in one buffer,
// so that a batch costs one allocation to hand over and one to free, not
// two per line: a million small texts, each made on the reading thread and
// freed on the importing one, cost a quarter of the import's time.
class LineBatch {
public:
    // Where a text lies in the buffer; unset when `begin` is negative.
    struct TextSpan {
        qsizetype begin = -1;
        qsizetype size = 0;
    };
    struct Line {
        qint64 number = 0; // in the file, from 1
        int percentRead = 0;
        PriceCheck checked;
        TextSpan prefix;
        TextSpan destination;
        QString text; // of a skipped line only
    };

    TextSpan Keep(const std::optional<QString> &text)
    {
        if (!IsStoredText(text))
            return {};
        const qsizetype begin = texts_.size();
        texts_ += text->toUtf8();
        return {begin, texts_.size() - begin};
    }
    std::optional<QByteArrayView> Text(TextSpan span) const
    {
        if (span.begin < 0)
            return std::nullopt;
        return QByteArrayView(texts_).sliced(span.begin, span.size);
    }

    std::vector<Line> lines;

private:
    QByteArray texts_;
};

// Reads, decodes, splits and checks the data lines on a thread of its own
// while the import stores the lines read before: the two take about as long
// each. A bounded number of lines is read ahead, whatever the size of the
// file.
class LinesReadAhead {
public:
    explicit LinesReadAhead(PriceListReader &reader) : reader_(reader) {}
    ~LinesReadAhead() { batches_.Abandon(); }

    // The next lines in file order; nothing once all are handed over. A
    // failure of the reading thread is raised here, after the lines read
    // before it.
    std::optional<LineBatch> Next()
    {
        std::optional<LineBatch> batch = batches_.Take();
        if (!batch)
            reading_.Join();
        return batch;
    }
    // Once Next() has answered nothing.
    bool LooksCommaSeparated() const { return separators_.LooksCommaSeparated(); }

private:
    static constexpr std::size_t kLinesPerBatch = 1024;
    static constexpr std::size_t kBatchesAhead = 8;

    void ReadBatches()
    {
        LineBatch batch;
        batch.lines.reserve(kLinesPerBatch);
        while (const std::optional<QString> line = reader_.ReadFileLine()) {
            if (line->isEmpty())
                continue; // an empty line between data lines carries nothing
            separators_.Note(*line);
            batch.lines.push_back(Checked(*line, batch));
            if (batch.lines.size() < kLinesPerBatch)
                continue;
            if (!batches_.Put(std::exchange(batch, {})))
                return; // the import ended early
            batch.lines.reserve(kLinesPerBatch);
        }
        if (!batch.lines.empty())
            batches_.Put(std::move(batch));
    }

    LineBatch::Line Checked(const QString &line, LineBatch &batch) const
    {
        const PriceListFields fields = ParseCsvLine(line);
        LineBatch::Line read{reader_.LineNumber(), PercentRead(reader_), CheckDataLine(line, fields), {}, {}, {}};
        if (read.checked.problem) {
            read.text = line;
        } else {
            read.prefix = batch.Keep(fields[0]);
            read.destination = batch.Keep(fields[1]);
        }
        return read;
    }

    PriceListReader &reader_;
    SeparatorCheck separators_;
    Handover<LineBatch> batches_{kBatchesAhead};
    WorkerThread reading_{[this] { ReadBatches(); }, [this] { batches_.Finish(); }};
};

} // namespace

std::optional<QString> SkipReason(const QString &line, const PriceListFields &fields)
{
    return CheckDataLine(line, fields).problem;
}

StageResult ImportPriceListFile(const QString &path, RunContext &context, const StagingStatement &staging)
{
    if (StageProgressed(context, 0))
        return StageResult::Stopped();

    PriceListReader reader;
    if (!reader.Open(path))
        return RejectFile(reader.ErrorString());
    if (reader.ReadHeader().form == PriceListForm::NotAPriceList)
        return RejectFile(QStringLiteral("Die Datei %1 ist keine Preisliste: Die erste Zeile muss mit „%2“ "
                                         "oder „%3“ beginnen.")
                              .arg(path, kPlainFormMarker, kServerFormMarker));
    if (const std::optional<QString> failure = CreateStagingTables(context))
        return StageResult::Failed(*failure);
    StagingInsert insert(context.database, staging);
    SkippedLineRecorder skipped(context.database);
    if (!insert.IsPrepared() || skipped.Failed())
        return StageResult::Failed(insert.IsPrepared() ? skipped.Error() : insert.Error());
    qint64 stagedCount = 0;
    qint64 skippedCount = 0;
    std::optional<QString> firstSkipped;
    LinesReadAhead lines(reader);
    while (const std::optional<LineBatch> batch = lines.Next()) {
        for (const LineBatch::Line &line : batch->lines) {
            if (StageProgressed(context, line.percentRead))
                return StageResult::Stopped();
            const std::optional<QString> &reason = line.checked.problem;
            const bool stored = reason ? skipped.Record(line.number, line.text, *reason)
                                       : insert.Insert(batch->Text(line.prefix), batch->Text(line.destination),
                                                       line.checked.price);
            if (reason && !firstSkipped)
                firstSkipped = QStringLiteral("Zeile %1: „%2“ – %3").arg(line.number).arg(line.text, *reason);
            (reason ? skippedCount : stagedCount)++;
            if (!stored)
                return StageResult::Failed(QStringLiteral("Die Preisliste konnte nicht übernommen werden: ")
                                           + (reason ? skipped.Error() : insert.Error()));
        }
    }
    if (lines.LooksCommaSeparated())
        return RejectFile(SeparatorCheck::Message(path));
    // Not one line taken: the list is of another kind, or of another
    // separator; the first line skipped shows which.
    if (stagedCount == 0 && firstSkipped)
        return StageResult::Failed(QStringLiteral("Die Preisliste enthält keine gültigen Einträge. Keine ihrer %1 "
                                                  "Datenzeilen wurde übernommen, etwa %2.")
                                       .arg(skippedCount)
                                       .arg(*firstSkipped),
                                   FailureKind::Sentence);
    StageProgressed(context, 100);
    return StageResult::Done();
}

} // namespace preisliste
