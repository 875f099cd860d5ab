#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace preisliste {

// The first line of a price list in plain form and in server form.
inline const QString kPlainFormMarker = QStringLiteral("#Vorwahl");
inline const QString kServerFormMarker = QStringLiteral("#kvtpricelist");

// The two forms of a price list, told apart by the start of its first line
// (in any letter case): "#Vorwahl" (a CSV column header) or "#kvtpricelist"
// (the server's form, with a header block).
enum class PriceListForm { NotAPriceList, Plain, Server };

// What the header of a price list says, and where its data lines begin.
struct PriceListHeader {
    PriceListForm form = PriceListForm::NotAPriceList;
    // The values of the server form's header lines "Effective",
    // "List-Sequence" and "List-ID" (keys in exactly this spelling), where
    // given. A repeated key overwrites the earlier value.
    std::optional<QDateTime> effective;
    std::optional<qint32> sequence;
    std::optional<QString> listId;
    // The first header line whose value does not convert, and what it should
    // have been ("kein Datum", ...); values after it are not taken.
    QString badLine;
    QString badValueReason;
    // The lines the header takes, the first line included, and the byte
    // position of the line after them; 0 for no price list.
    qint64 lineCount = 0;
    qint64 dataOffset = 0;
    bool hasData = false; // at least one line follows the header
};

// Reads the header of a price list from `device`, at its current position.
// Lines end with LF; every CR is dropped, so LF and CR LF read alike, and a
// UTF-8 BOM before the first line is skipped. A first line without a line
// end is no line: a list without any LF has no header. The server form's
// header block ends with its first line that is empty or holds only white
// space, or with the end of the bytes. Leaves the device after the header.
PriceListHeader ReadPriceListHeader(QIODevice &device);

// "01.03.2011", "01.03.2011 00:00", "01.03.2011 00:00:00" and ISO 8601
// ("2011-03-01", "2011-03-01T00:00:00", "2011-03-01 00:00:00") as local time.
// Nothing for any other text.
std::optional<QDateTime> ParseEffectiveDate(const QString &text);

} // namespace preisliste
