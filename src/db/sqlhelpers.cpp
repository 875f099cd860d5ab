#include "db/sqlhelpers.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

namespace preisliste {

sqlite3 *SqliteHandle(const QSqlDatabase &database)
{
    if (!database.driver())
        return nullptr;
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

namespace {

QString WithCause(int sqliteCode, const QString &engineText)
{
    const QString text = engineText.isEmpty() ? QStringLiteral("unbekannter Datenbankfehler") : engineText;
    switch (sqliteCode & 0xFF) {
    case SQLITE_FULL:
        return QStringLiteral("Kein Platz mehr auf dem Datenträger (%1)").arg(text);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Die Datenbank ist von einem anderen Programm gesperrt (%1)").arg(text);
    case SQLITE_IOERR:
        return QStringLiteral("Lese- oder Schreibfehler auf dem Datenträger (%1)").arg(text);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("Die Datenbankdatei ist beschädigt (%1)").arg(text);
    case SQLITE_CANTOPEN:
        return QStringLiteral("Die Datei lässt sich nicht öffnen oder anlegen (%1)").arg(text);
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return QStringLiteral("Schreiben ist nicht erlaubt (%1)").arg(text);
    default:
        return QStringLiteral("Datenbankfehler (%1)").arg(text);
    }
}

} // namespace

QString DescribeSqliteCode(int sqliteCode, const QString &engineText)
{
    return WithCause(sqliteCode, engineText);
}

QString DescribeError(const QSqlError &error)
{
    return WithCause(error.nativeErrorCode().toInt(),
                     error.databaseText().isEmpty() ? error.text() : error.databaseText());
}

QString DescribeSqliteError(sqlite3 *handle)
{
    if (!handle)
        return WithCause(SQLITE_ERROR, {});
    return WithCause(sqlite3_extended_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)));
}

SqlTransaction::~SqlTransaction()
{
    Rollback();
}

bool SqlTransaction::Execute(const QString &statement)
{
    QSqlQuery query(database_);
    if (query.exec(statement))
        return true;
    const QString cause = DescribeError(query.lastError());
    const bool locked = query.lastError().nativeErrorCode() == QLatin1String("5")
                        || query.lastError().nativeErrorCode() == QLatin1String("6");
    error_ = locked ? QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt "
                                     "und ist gesperrt. Bitte später noch einmal versuchen. (%1)")
                          .arg(cause)
                    : cause;
    return false;
}

bool SqlTransaction::Begin()
{
    error_.clear();
    active_ = Execute(QStringLiteral("BEGIN IMMEDIATE"));
    return active_;
}

bool SqlTransaction::Commit()
{
    if (!active_)
        return false;
    if (!Execute(QStringLiteral("COMMIT")))
        return false; // still active: the destructor or Rollback() undoes it
    active_ = false;
    return true;
}

void SqlTransaction::Rollback()
{
    if (!active_)
        return;
    active_ = false;
    if (database_.isOpen() && sqlite3_get_autocommit(SqliteHandle(database_)) == 0) {
        QSqlQuery query(database_);
        query.exec(QStringLiteral("ROLLBACK"));
    }
}

} // namespace preisliste
