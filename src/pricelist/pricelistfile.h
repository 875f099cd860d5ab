#pragma once

#include "common/textdecoding.h"
#include "pricelist/pricelistheader.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>
#include <optional>

namespace preisliste {

// The largest price list taken, downloaded or from a file: real lists are a
// few megabytes; anything this size is not a price list.
inline constexpr qint64 kMaxPriceListBytes = 200LL * 1024 * 1024;

// The price-list file, read line by line. Lines end with LF; every CR is
// dropped wherever it stands, so LF and CR LF files read alike. A file that
// is valid UTF-8 (a BOM is allowed) is read as UTF-8, any other as
// Windows-1252.
class PriceListReader {
public:
    // Opens the file. On failure ErrorString() names the file and the reason.
    bool Open(const QString &path);
    const QString &ErrorString() const { return error_; }

    // Reads the list's header (see ReadPriceListHeader) and moves on to its
    // first data line. Call it right after Open().
    PriceListHeader ReadHeader();

    // The next line without its line end, or nothing at the end of the file.
    // A last line without a line end is still a line; a file without any LF
    // has no complete line at all.
    std::optional<QString> ReadFileLine();

    // The number of the line ReadFileLine() returned last, counting from 1;
    // 0 before the first.
    qint64 LineNumber() const { return lineNumber_; }
    qint64 Position() const { return position_; }
    qint64 Size() const { return size_; }
    TextEncoding Encoding() const { return encoding_; }

private:
    QFile file_;
    QByteArray buffer_;          // used when the file cannot be mapped
    const char *data_ = nullptr; // the whole file
    qint64 size_ = 0;
    qint64 position_ = 0;
    qint64 lineNumber_ = 0;
    bool hasLineFeed_ = false;
    TextEncoding encoding_ = TextEncoding::Utf8;
    QString error_;
};

// The three values of a data line: prefix, destination and price text. A
// value the line does not supply is empty (no value at all).
using PriceListFields = std::array<std::optional<QString>, 3>;

// Splits a data line at ";" and cleans each field: blanks around it removed,
// one pair of enclosing double quotes removed, every "," replaced by ".".
// Fields 1 to 3 are the values; a numeric fifth field replaces the price.
PriceListFields ParseCsvLine(const QString &line);

} // namespace preisliste
