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

bool IsAscii(QByteArrayView text)
{
    return std::none_of(text.begin(), text.end(), [](char c) { return c & 0x80; });
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

void CaseKeyFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int length = sqlite3_value_bytes(argv[0]);
    if (!IsAscii(QByteArrayView(text, length))) {
        const QByteArray key = CaseKey(QByteArrayView(text, length));
        sqlite3_result_text(context, key.constData(), int(key.size()), SQLITE_TRANSIENT);
        return;
    }
    // The key of an ASCII name is built in the engine's own memory, which it
    // then takes over: one allocation per name in statements over millions.
    auto *key = static_cast<char *>(sqlite3_malloc(length + 1));
    if (!key) {
        sqlite3_result_error_nomem(context);
        return;
    }
    std::transform(text, text + length, key, AsciiLower);
    sqlite3_result_text(context, key, length, sqlite3_free);
}

} // namespace

QByteArray CaseKey(QByteArrayView utf8Name)
{
    // Most names are plain ASCII; folding those needs no detour through
    // UTF-16 and gives the same bytes the general path would.
    if (IsAscii(utf8Name)) {
        QByteArray key(utf8Name.size(), Qt::Uninitialized);
        std::transform(utf8Name.begin(), utf8Name.end(), key.begin(), AsciiLower);
        return key;
    }
    return QString::fromUtf8(utf8Name).toCaseFolded().toUtf8();
}

bool RegisterSqliteExtensions(sqlite3 *handle)
{
    if (!handle)
        return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(handle, "IsNumeric", 1, flags, nullptr, &IsNumericFunction,
                                   nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    // Deterministic, so that an index may be built on a name's key.
    return sqlite3_create_function_v2(handle, kCaseKeyFunction, 1, flags, nullptr, &CaseKeyFunction, nullptr,
                                      nullptr, nullptr) == SQLITE_OK;
}

} // namespace preisliste
