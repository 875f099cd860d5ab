#include "pricelist/pricelistheader.h"

#include "common/textdecoding.h"

#include <QIODevice>

namespace preisliste {

namespace {

const QByteArray kPlainMarker = kPlainFormMarker.toLatin1();
const QByteArray kServerMarker = kServerFormMarker.toLatin1();
const QByteArray kEffectiveKey = QByteArrayLiteral("Effective");
const QByteArray kSequenceKey = QByteArrayLiteral("List-Sequence");
const QByteArray kListIdKey = QByteArrayLiteral("List-ID");

// Reads the device line by line, as the import reads a price list, and
// counts the bytes it took.
class HeaderLines {
public:
    explicit HeaderLines(QIODevice &device) : device_(device) {}

    // The next line without its line end and its CRs; nothing at the end.
    std::optional<QByteArray> Next()
    {
        if (device_.atEnd())
            return std::nullopt;
        QByteArray line = device_.readLine();
        consumed_ += line.size();
        const bool complete = line.endsWith('\n');
        if (complete)
            line.chop(1);
        line.replace('\r', QByteArray());
        // A last line without a line end counts, unless it is only CRs; the
        // first line needs its line end.
        if (!complete && (line.isEmpty() || count_ == 0))
            return std::nullopt;
        ++count_;
        return line;
    }

    qint64 Count() const { return count_; }
    qint64 Consumed() const { return consumed_; }

private:
    QIODevice &device_;
    qint64 count_ = 0;
    qint64 consumed_ = 0;
};

bool StartsWithMarker(QByteArrayView line, const QByteArray &marker)
{
    return line.size() >= marker.size() && qstrnicmp(line.data(), marker.constData(), marker.size()) == 0;
}

PriceListForm FormOf(QByteArrayView firstLine)
{
    if (StartsWithMarker(firstLine, kServerMarker))
        return PriceListForm::Server;
    if (StartsWithMarker(firstLine, kPlainMarker))
        return PriceListForm::Plain;
    return PriceListForm::NotAPriceList;
}

// Only the blank (code 32) counts as space around a header value.
QByteArrayView TrimBlanks(QByteArrayView text)
{
    while (text.startsWith(' '))
        text = text.sliced(1);
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

QString HeaderText(QByteArrayView bytes)
{
    return DecodeText(bytes, DetectEncoding(bytes));
}

std::optional<qint32> ParseSequence(const QString &text)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok, 10);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

// Takes the value of one "key: value" line into `header`; a value that does
// not convert is recorded as the header's bad line.
void TakeHeaderLine(const QByteArray &line, PriceListHeader &header)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    const QByteArrayView key = QByteArrayView(line).first(colon);
    const QString value = HeaderText(TrimBlanks(QByteArrayView(line).sliced(colon + 1)));
    const auto bad = [&](const QString &reason) {
        header.badLine = HeaderText(line);
        header.badValueReason = reason;
    };
    if (key == kEffectiveKey) {
        if (const std::optional<QDateTime> date = ParseEffectiveDate(value))
            header.effective = date;
        else
            bad(QStringLiteral("kein Datum"));
    } else if (key == kSequenceKey) {
        if (const std::optional<qint32> sequence = ParseSequence(value))
            header.sequence = sequence;
        else
            bad(QStringLiteral("keine ganze Zahl"));
    } else if (key == kListIdKey) {
        header.listId = value;
    }
}

// A line that is empty or holds only white space, in the list's encoding.
bool EndsHeader(const QByteArray &line)
{
    return HeaderText(line).trimmed().isEmpty();
}

} // namespace

PriceListHeader ReadPriceListHeader(QIODevice &device)
{
    PriceListHeader header;
    const bool bom = device.peek(3) == QByteArrayLiteral("\xEF\xBB\xBF");
    if (bom)
        device.skip(3);
    HeaderLines lines(device);
    const std::optional<QByteArray> first = lines.Next();
    if (first)
        header.form = FormOf(*first);
    if (header.form == PriceListForm::NotAPriceList)
        return header;
    if (header.form == PriceListForm::Server) {
        while (const std::optional<QByteArray> line = lines.Next()) {
            if (EndsHeader(*line))
                break;
            if (header.badLine.isEmpty())
                TakeHeaderLine(*line, header);
        }
    }
    header.lineCount = lines.Count();
    header.dataOffset = (bom ? 3 : 0) + lines.Consumed();
    header.hasData = lines.Next().has_value();
    return header;
}

std::optional<QDateTime> ParseEffectiveDate(const QString &text)
{
    static const char *const kFormats[] = {
        "d.M.yyyy", "d.M.yyyy H:mm", "d.M.yyyy H:mm:ss",
        "yyyy-MM-dd", "yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm",
    };
    const QString trimmed = text.trimmed();
    for (const char *format : kFormats) {
        const QDateTime value = QDateTime::fromString(trimmed, QString::fromLatin1(format));
        if (value.isValid())
            return value;
    }
    // Seconds, fractions and time-zone offsets as ISO 8601 writes them.
    if (trimmed.size() > 10 && trimmed.at(4) == u'-') {
        QString iso = trimmed;
        if (iso.at(10) == u' ')
            iso[10] = u'T';
        const QDateTime value = QDateTime::fromString(iso, Qt::ISODateWithMs);
        if (value.isValid())
            return value.toLocalTime();
    }
    return std::nullopt;
}

} // namespace preisliste
