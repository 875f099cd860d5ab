#include "db/sqlitefile.h"

#include "db/sqlhelpers.h"

#include <QFile>

#include <sqlite3.h>

namespace preisliste {

void SqliteCloser::operator()(sqlite3 *handle) const
{
    sqlite3_close_v2(handle);
}

SqliteHandlePtr OpenSqliteFile(const QString &path, int flags, int busyTimeoutMs, QString &error)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    SqliteHandlePtr handle(raw);
    if (rc != SQLITE_OK) {
        error = DescribeSqliteCode(rc, QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
        return nullptr;
    }
    sqlite3_busy_timeout(raw, busyTimeoutMs);
    return handle;
}

} // namespace preisliste
