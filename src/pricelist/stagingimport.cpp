#include "pricelist/stagingimport.h"

#include "common/currency.h"
#include "common/numerictext.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "pricelist/pricelistfile.h"

#include <QSqlQuery>
#include <QVariant>

namespace preisliste {

namespace {

// Text columns of the staging table take at most 255 characters; a longer
// value is left unset, as the original engine left it.
constexpr qsizetype kMaxTextLength = 255;

QVariant TextValue(const std::optional<QString> &text)
{
    if (!text || text->isEmpty() || text->size() > kMaxTextLength)
        return QVariant(QMetaType::fromType<QString>());
    return *text;
}

QVariant PriceValue(const std::optional<QString> &text)
{
    const double number = text ? ReadLeadingNumber(*text) : 0.0;
    // A number beyond the currency range is not a price; the row keeps no
    // purchase price rather than a wrong one.
    if (const auto price = Currency::TryFromDouble(number))
        return price->ToDouble();
    return QVariant(QMetaType::fromType<double>());
}

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
    QSqlQuery insert(context.database);
    if (!insert.prepare(QStringLiteral("INSERT INTO Import2 (Vorwahl, Ziel, PreisEk) VALUES (?, ?, ?)"))) {
        context.messages.ShowError(QStringLiteral("Fehler: ") + DescribeError(insert.lastError()));
        return false;
    }
    while (const std::optional<QString> line = reader.ReadFileLine()) {
        if (context.progress.SetProgress(PercentRead(reader), 0))
            return false;
        if (line->isEmpty())
            continue; // an empty line between data lines carries nothing
        const PriceListFields fields = ParseCsvLine(*line);
        insert.bindValue(0, TextValue(fields[0]));
        insert.bindValue(1, TextValue(fields[1]));
        insert.bindValue(2, PriceValue(fields[2]));
        if (!insert.exec()) {
            context.messages.ShowError(QStringLiteral("Fehler: Die Preisliste konnte nicht übernommen werden: ")
                                       + DescribeError(insert.lastError()));
            return false;
        }
    }
    context.progress.SetProgress(14, 100);
    return true;
}

} // namespace preisliste
