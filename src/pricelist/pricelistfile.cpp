#include "pricelist/pricelistfile.h"

#include "common/numerictext.h"

#include <QBuffer>
#include <QFileInfo>

namespace preisliste {

bool PriceListReader::Open(const QString &path)
{
    file_.setFileName(path);
    if (!QFileInfo(path).isFile() || !file_.open(QIODevice::ReadOnly)) {
        const QString reason = QFileInfo::exists(path)
                                   ? (QFileInfo(path).isDir() ? QStringLiteral("es ist ein Ordner")
                                                              : file_.errorString())
                                   : QStringLiteral("die Datei existiert nicht");
        error_ = QStringLiteral("Die Datei %1 konnte nicht gelesen werden: %2.").arg(path, reason);
        return false;
    }
    size_ = file_.size();
    if (size_ > kMaxPriceListBytes) {
        error_ = QStringLiteral("Die Datei %1 ist mit %2 MB zu groß für eine Preisliste (höchstens %3 MB).")
                     .arg(path)
                     .arg(size_ / (1024 * 1024))
                     .arg(kMaxPriceListBytes / (1024 * 1024));
        return false;
    }
    if (size_ > 0) {
        data_ = reinterpret_cast<const char *>(file_.map(0, size_));
        if (!data_) {
            buffer_ = file_.readAll();
            if (file_.error() != QFileDevice::NoError || buffer_.size() != size_) {
                error_ = QStringLiteral("Die Datei %1 konnte nicht gelesen werden: %2.")
                             .arg(path, file_.errorString());
                return false;
            }
            data_ = buffer_.constData();
        }
    }
    const QByteArrayView bytes(data_, size_);
    if (HasUtf8Bom(bytes))
        position_ = 3;
    encoding_ = DetectEncoding(bytes.sliced(position_));
    hasLineFeed_ = bytes.contains('\n');
    return true;
}

PriceListHeader PriceListReader::ReadHeader()
{
    QByteArray bytes = QByteArray::fromRawData(data_, size_); // no copy of the file
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const PriceListHeader header = ReadPriceListHeader(device);
    position_ = header.dataOffset;
    lineNumber_ = header.lineCount;
    return header;
}

std::optional<QString> PriceListReader::ReadFileLine()
{
    if (position_ >= size_ || !hasLineFeed_)
        return std::nullopt;
    const QByteArrayView rest(data_ + position_, size_ - position_);
    qsizetype length = rest.indexOf('\n');
    const bool complete = length >= 0;
    if (!complete)
        length = rest.size();
    QByteArrayView raw = rest.first(length);
    position_ += complete ? length + 1 : length;
    // The usual CR LF line end costs no copy; a CR inside the line is
    // dropped all the same.
    while (raw.endsWith('\r'))
        raw.chop(1);
    QByteArray withoutCr;
    if (raw.contains('\r')) {
        withoutCr = raw.toByteArray();
        withoutCr.replace("\r", "");
        raw = withoutCr;
    }
    // A last line without a line end counts, unless it is only CRs.
    if (!complete && raw.isEmpty())
        return std::nullopt;
    ++lineNumber_;
    return DecodeText(raw, encoding_);
}

namespace {

QString CleanField(QStringView field)
{
    while (field.startsWith(u' '))
        field = field.sliced(1);
    while (field.endsWith(u' '))
        field.chop(1);
    if (field.startsWith(u'"')) {
        field = field.sliced(1);
        if (field.endsWith(u'"'))
            field.chop(1);
    }
    QString cleaned = field.toString();
    cleaned.replace(u',', u'.');
    return cleaned;
}

} // namespace

PriceListFields ParseCsvLine(const QString &line)
{
    PriceListFields values;
    if (line.isEmpty())
        return values;
    // Split at ";"; fields after the fifth are never read.
    std::array<QStringView, 5> texts;
    qsizetype count = 0;
    QStringView rest(line);
    while (count < qsizetype(texts.size())) {
        const qsizetype end = rest.indexOf(u';');
        texts[count++] = end < 0 ? rest : rest.first(end);
        if (end < 0)
            break;
        rest = rest.sliced(end + 1);
    }
    if (count >= 3) {
        for (int i = 0; i < 3; ++i)
            values[i] = CleanField(texts[i]);
    }
    if (count >= 5) {
        QString alternative = CleanField(texts[4]);
        if (IsNumericText(alternative))
            values[2] = std::move(alternative);
    }
    return values;
}

} // namespace preisliste
