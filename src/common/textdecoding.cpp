#include "common/textdecoding.h"

#include <array>

namespace preisliste {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five code points
// it leaves undefined are kept as the C1 controls, as Windows does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

bool HasUtf8Bom(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

bool IsValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        // Runs of ASCII are the common case: take eight bytes at a time.
        while (end - p >= 8) {
            quint64 chunk;
            memcpy(&chunk, p, 8);
            if (chunk & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p >= end)
            break;
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        char32_t min = 0;
        char32_t code = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2; min = 0x80; code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3; min = 0x800; code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4; min = 0x10000; code = c & 0x07;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        p += length;
    }
    return true;
}

TextEncoding DetectEncoding(QByteArrayView bytes)
{
    return IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

QString DecodeText(QByteArrayView bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return QString::fromUtf8(bytes);
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        *out++ = (c >= 0x80 && c <= 0x9F) ? QChar(kWindows1252High[c - 0x80]) : QChar(c);
    }
    return text;
}

} // namespace preisliste
