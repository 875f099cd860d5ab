#include "pricelist/stagingimport.h"

#include "common/currency.h"
#include "common/numerictext.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "pricelist/pricelistfile.h"

#include <QSqlQuery>

#include <sqlite3.h>

namespace preisliste {

namespace {

// Text columns of the staging table take at most 255 characters; a longer
// value is left unset, as the original engine left it.
constexpr qsizetype kMaxTextLength = 255;

// A text value as the staging table keeps it: empty or overlong is unset.
std::optional<QByteArray> TextValue(const std::optional<QString> &text)
{
    if (!text || text->isEmpty() || text->size() > kMaxTextLength)
        return std::nullopt;
    return text->toUtf8();
}

std::optional<double> PriceValue(const std::optional<QString> &text)
{
    const double number = text ? ReadLeadingNumber(*text) : 0.0;
    // A number beyond the currency range is not a price; the row keeps no
    // purchase price rather than a wrong one.
    if (const auto price = Currency::TryFromDouble(number))
        return price->ToDouble();
    return std::nullopt;
}

// The one prepared insert of the import, run on the engine's handle of the
// run's connection, so inside the run's transaction. Going past Qt SQL here
// is for speed: its binding builds a placeholder name for every value and
// converts every text twice, which cost more than the inserts themselves.
class StagingInsert {
public:
    explicit StagingInsert(QSqlDatabase &database) : handle_(SqliteHandle(database))
    {
        if (handle_)
            sqlite3_prepare_v2(handle_, "INSERT INTO Import2 (Vorwahl, Ziel, PreisEk) VALUES (?, ?, ?)", -1,
                               &statement_, nullptr);
    }
    ~StagingInsert() { sqlite3_finalize(statement_); }
    StagingInsert(const StagingInsert &) = delete;
    StagingInsert &operator=(const StagingInsert &) = delete;

    bool IsPrepared() const { return statement_ != nullptr; }

    bool Insert(const PriceListFields &fields)
    {
        const std::optional<QByteArray> prefix = TextValue(fields[0]);
        const std::optional<QByteArray> destination = TextValue(fields[1]);
        const std::optional<double> price = PriceValue(fields[2]);
        BindText(1, prefix);
        BindText(2, destination);
        if (price)
            sqlite3_bind_double(statement_, 3, *price);
        else
            sqlite3_bind_null(statement_, 3);
        const int result = sqlite3_step(statement_);
        sqlite3_reset(statement_);
        return result == SQLITE_DONE;
    }

    QString Error() const
    {
        return handle_ ? DescribeSqliteError(handle_)
                       : QStringLiteral("Die Verbindung ist keine SQLite-Verbindung.");
    }

private:
    // The bytes stay alive until the step that reads them.
    void BindText(int index, const std::optional<QByteArray> &text)
    {
        if (text)
            sqlite3_bind_text(statement_, index, text->constData(), int(text->size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(statement_, index);
    }

    sqlite3 *handle_;
    sqlite3_stmt *statement_ = nullptr;
};

bool IsPriceListHeader(const QString &line)
{
    return line.startsWith(kPlainFormMarker, Qt::CaseInsensitive)
           || line.startsWith(kServerFormMarker, Qt::CaseInsensitive);
}

void RejectFile(MessageSink &messages, const QString &reason)
{
    messages.ShowError(QStringLiteral("Falsche Datei"));
    messages.ShowError(QStringLiteral("Fehler: ") + reason);
}

// The header block of the server form ends with the first blank line.
void SkipServerHeader(PriceListReader &reader)
{
    while (const auto line = reader.ReadFileLine()) {
        if (line->trimmed().isEmpty())
            return;
    }
}

bool CreateStagingTable(RunContext &context)
{
    QSqlQuery query(context.database);
    query.exec(QStringLiteral("DROP TABLE Import2")); // fails harmlessly when missing
    if (query.exec(kCreateImport2Statement))
        return true;
    context.messages.ShowError(QStringLiteral("Fehler: ") + DescribeError(query.lastError()));
    return false;
}

// A list saved with commas between its fields (as spreadsheet programs do
// in English settings) would import as prefixes without destinations or
// prices. It is told from a list of ours by its data lines: commas in them,
// but not a single semicolon.
class SeparatorCheck {
public:
    void Note(const QString &dataLine)
    {
        semicolons_ = semicolons_ || dataLine.contains(u';');
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

} // namespace

bool ImportPriceListFile(const QString &path, RunContext &context)
{
    if (context.progress.SetProgress(0, 0))
        return false;

    PriceListReader reader;
    if (!reader.Open(path)) {
        RejectFile(context.messages, reader.ErrorString());
        return false;
    }
    const std::optional<QString> firstLine = reader.ReadFileLine();
    if (!firstLine || !IsPriceListHeader(*firstLine)) {
        RejectFile(context.messages,
                   QStringLiteral("Die Datei %1 ist keine Preisliste: Die erste Zeile muss mit „%2“ "
                                  "oder „%3“ beginnen.")
                       .arg(path, kPlainFormMarker, kServerFormMarker));
        return false;
    }
    if (firstLine->startsWith(kServerFormMarker, Qt::CaseInsensitive))
        SkipServerHeader(reader);

    if (!CreateStagingTable(context))
        return false;
    StagingInsert insert(context.database);
    if (!insert.IsPrepared()) {
        context.messages.ShowError(QStringLiteral("Fehler: ") + insert.Error());
        return false;
    }
    SeparatorCheck separators;
    while (const std::optional<QString> line = reader.ReadFileLine()) {
        if (context.progress.SetProgress(PercentRead(reader), 0))
            return false;
        if (line->isEmpty())
            continue; // an empty line between data lines carries nothing
        separators.Note(*line);
        if (!insert.Insert(ParseCsvLine(*line))) {
            context.messages.ShowError(QStringLiteral("Fehler: Die Preisliste konnte nicht übernommen werden: ")
                                       + insert.Error());
            return false;
        }
    }
    if (separators.LooksCommaSeparated()) {
        RejectFile(context.messages, SeparatorCheck::Message(path));
        return false;
    }
    context.progress.SetProgress(14, 100);
    return true;
}

} // namespace preisliste
