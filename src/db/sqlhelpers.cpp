#include "db/sqlhelpers.h"

#include "db/sqliteconnection.h"

#include <sqlite3.h>

namespace preisliste {

QString DescribeSqliteCode(int sqliteCode, const QString &engineText)
{
    const QString text = engineText.isEmpty() ? QStringLiteral("unbekannter Datenbankfehler") : engineText;
    switch (sqliteCode & 0xFF) {
    case SQLITE_FULL:
        return QStringLiteral("Kein Platz mehr auf dem Datenträger (%1)").arg(text);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt und ist gesperrt. "
                              "Bitte später noch einmal versuchen. (%1)")
            .arg(text);
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

QString DescribeSqliteError(sqlite3 *handle)
{
    if (!handle)
        return DescribeSqliteCode(SQLITE_ERROR, {});
    return DescribeSqliteCode(sqlite3_extended_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)));
}

SqlTransaction::~SqlTransaction()
{
    Rollback();
}

bool SqlTransaction::Execute(const QString &statement)
{
    if (connection_.Exec(statement))
        return true;
    error_ = connection_.Error();
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
    if (connection_.InTransaction())
        connection_.Exec(QStringLiteral("ROLLBACK"));
}

} // namespace preisliste
