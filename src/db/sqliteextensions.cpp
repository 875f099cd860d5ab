#include "db/sqliteextensions.h"

#include "common/numerictext.h"

#include <QString>

#include <sqlite3.h>

#include <algorithm>

namespace preisliste {

namespace {

void IsNumericFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 1) {
        sqlite3_result_error(context, "IsNumeric erwartet ein Argument", -1);
        return;
    }
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_int(context, 0);
        return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        sqlite3_result_int(context, 1);
        return;
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
        const int length = sqlite3_value_bytes(argv[0]);
        sqlite3_result_int(context, text && IsNumericText(QByteArrayView(text, length)) ? 1 : 0);
    }
    }
}

int CollationCallback(void *, int aLength, const void *a, int bLength, const void *b)
{
    return CompareCaseInsensitive(static_cast<const char *>(a), aLength,
                                  static_cast<const char *>(b), bLength);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace

int CompareCaseInsensitive(const char *a, int aLength, const char *b, int bLength)
{
    // Fast path for the common all-ASCII names; it orders exactly like the
    // general path, which folds each character and compares the results.
    const int common = std::min(aLength, bLength);
    bool ascii = true;
    for (int i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80) {
            ascii = false;
            break;
        }
        const char la = AsciiLower(char(ca));
        const char lb = AsciiLower(char(cb));
        if (la != lb)
            return la < lb ? -1 : 1;
    }
    if (ascii) {
        // Equal up to the shorter length; a longer rest decides only while it
        // is ASCII too, otherwise the general path must see the whole text.
        const char *rest = aLength > bLength ? a + common : b + common;
        const int restLength = std::abs(aLength - bLength);
        if (std::none_of(rest, rest + restLength, [](char c) { return c & 0x80; }))
            return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
    }
    const QString left = QString::fromUtf8(a, aLength).toCaseFolded();
    const QString right = QString::fromUtf8(b, bLength).toCaseFolded();
    const int result = QStringView(left).compare(QStringView(right), Qt::CaseSensitive);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

bool RegisterSqliteExtensions(sqlite3 *handle)
{
    if (!handle)
        return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(handle, "IsNumeric", 1, flags, nullptr, &IsNumericFunction,
                                   nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    return sqlite3_create_collation_v2(handle, kCaseInsensitiveCollation, SQLITE_UTF8, nullptr,
                                       &CollationCallback, nullptr) == SQLITE_OK;
}

} // namespace preisliste
