#include "db/tariffdatabase.h"

#include "common/runsinks.h"
#include "db/sqliteextensions.h"
#include "db/sqlhelpers.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

namespace preisliste {

namespace {

const QString kDataSourceKey = QStringLiteral("Data Source=");
const QString kAfterDataSource = QStringLiteral(";User ID=admin;Password=;Jet OLEDB:Database Password=");

QString NewConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("tariff-%1").arg(counter.fetchAndAddRelaxed(1));
}

// "file:" URI with mode=rw: opens read-write and fails instead of creating.
QString ReadWriteUri(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(absolute, "/"))
           + QStringLiteral("?mode=rw");
}

bool HasNumbersTable(QSqlDatabase &database)
{
    QSqlQuery query(database);
    // Reading the schema also proves that the file is an SQLite database.
    return query.exec(QStringLiteral(
               "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Numbers' COLLATE NOCASE"))
           && query.next();
}

// A run's changes stay in the page cache until the commit, so the file is
// locked against readers (Telvoro among them) only for the commit itself,
// not from the moment a large update would spill its cache to the file.
// The run's own tables in the temporary schema (the tariff as it was, for
// the report) get a cache of their own, so they are not written out either.
bool KeepChangesInMemory(QSqlDatabase &database)
{
    QSqlQuery query(database);
    return query.exec(QStringLiteral("PRAGMA main.cache_size = -262144")) // up to 256 MiB, used as needed
           && query.exec(QStringLiteral("PRAGMA temp.cache_size = -131072"));
}

} // namespace

QString BuildConnectionString(const QString &path, const QString &password)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + kDataSourceKey + path + kAfterDataSource
           + password;
}

QString DataSourceOf(const QString &connectionString)
{
    const qsizetype start = connectionString.indexOf(kDataSourceKey);
    if (start < 0)
        return {};
    const qsizetype from = start + kDataSourceKey.size();
    const qsizetype end = connectionString.lastIndexOf(kAfterDataSource);
    return connectionString.mid(from, end < from ? -1 : end - from);
}

TariffConnection::TariffConnection(QString connectionName, QString path)
    : connectionName_(std::move(connectionName)), path_(std::move(path)),
      database_(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_))
{
}

TariffConnection::~TariffConnection()
{
    Close();
    database_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

void TariffConnection::Close()
{
    if (database_.isOpen())
        database_.close();
}

std::unique_ptr<TariffConnection> OpenTariffDatabase(const QString &path, int cursorLocation,
                                                     MessageSink &messages, int busyTimeoutMs)
{
    Q_UNUSED(cursorLocation);
    const QString dataSource = DataSourceOf(BuildConnectionString(path, kDatabasePassword));
    std::unique_ptr<TariffConnection> connection(new TariffConnection(NewConnectionName(), dataSource));
    QSqlDatabase &database = connection->Database();
    bool ok = !dataSource.isEmpty() && QFileInfo(dataSource).isFile();
    if (ok) {
        database.setDatabaseName(ReadWriteUri(dataSource));
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        ok = database.open();
    }
    sqlite3 *handle = ok ? SqliteHandle(database) : nullptr;
    // SQLite quietly opens a write-protected file read-only; a run could then
    // do nothing but fail at its first write.
    ok = ok && handle && sqlite3_busy_timeout(handle, busyTimeoutMs) == SQLITE_OK
         && sqlite3_db_readonly(handle, "main") == 0 && RegisterSqliteExtensions(handle)
         && HasNumbersTable(database) && KeepChangesInMemory(database);
    if (!ok) {
        messages.ShowError(QStringLiteral("Datenbank ") + path + QStringLiteral(" konnte nicht geöffnet werden!"));
        return nullptr;
    }
    return connection;
}

void CloseTariffDatabase(TariffConnection *connection)
{
    if (connection)
        connection->Close();
}

QString CreateTariffDatabase(const QString &path)
{
    if (QFileInfo::exists(path))
        return QStringLiteral("Die Datei %1 existiert bereits und wird nicht überschrieben.").arg(path);
    sqlite3 *handle = nullptr;
    const QByteArray nativePath = QFile::encodeName(path);
    int rc = sqlite3_open_v2(nativePath.constData(), &handle,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString error;
    if (rc == SQLITE_OK) {
        const QByteArray create = kCreateNumbersStatement.toUtf8();
        rc = sqlite3_exec(handle, create.constData(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK)
        error = QStringLiteral("Die Datenbank %1 konnte nicht angelegt werden: %2")
                    .arg(path, QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc)));
    sqlite3_close_v2(handle);
    if (!error.isEmpty() && rc != SQLITE_CANTOPEN)
        QFile::remove(path);
    return error;
}

} // namespace preisliste
