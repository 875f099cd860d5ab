#include "db/tariffdatabase.h"

#include "common/runsinks.h"
#include "db/sqliteextensions.h"
#include "db/sqlhelpers.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSqlError>
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

// Why a tariff database cannot be used, in words an operator can act on.
// The engine's own English text, when there is one, follows in parentheses
// for whoever gives support.
QString WithEngineText(const QString &reason, sqlite3 *handle)
{
    const QString engine = handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QString();
    return engine.isEmpty() || engine == QLatin1String("not an error") ? reason : reason + QStringLiteral(" (%1)").arg(engine);
}

QString LockedReason(int busyTimeoutMs)
{
    const QString seconds = busyTimeoutMs == 1000
                                ? QStringLiteral("einer Sekunde")
                                : QLocale(QLocale::German).toString(busyTimeoutMs / 1000.0, 'g', 3)
                                      + QStringLiteral(" Sekunden");
    return QStringLiteral("Ein anderes Programm (etwa Telvoro) hält die Datenbank gesperrt, auch nach %1 "
                          "Warten noch. Bitte das andere Programm seine Arbeit beenden lassen und es dann noch "
                          "einmal versuchen.")
        .arg(seconds);
}

// What the file system already tells, before the engine is asked. SQLite
// writes its journal beside the database, so the folder must be writable
// too; without this check a run would fail at its first change with the
// engine's "attempt to write a readonly database".
QString FileProblem(const QString &path)
{
    const QFileInfo file(path);
    if (path.isEmpty() || !file.exists())
        return QStringLiteral("Die Datei gibt es nicht. Bitte den Pfad prüfen.");
    if (file.isDir())
        return QStringLiteral("Das ist ein Ordner, keine Datenbankdatei. Bitte die Datei Numbers.mdb darin angeben.");
    if (file.size() == 0)
        return QStringLiteral("Die Datei ist leer, also keine Tarifdatenbank.");
    if (!file.isReadable())
        return QStringLiteral("Die Datei darf nicht gelesen werden. Bitte die Zugriffsrechte prüfen.");
    if (!file.isWritable())
        return QStringLiteral("Die Datei ist schreibgeschützt; das Update muss sie ändern. "
                              "Bitte den Schreibschutz aufheben.");
    const QFileInfo folder(file.absolutePath());
    if (!folder.isWritable())
        return QStringLiteral("In den Ordner %1 darf nicht geschrieben werden; die Datenbank legt dort beim "
                              "Ändern ihre Journaldatei an. Bitte Schreibrechte für den Ordner geben.")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    return {};
}

// Reads the schema, which proves that the file is an SQLite database, and
// looks for the tariff table; empty when it is there.
QString SchemaProblem(sqlite3 *handle, int busyTimeoutMs)
{
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(handle,
                                "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Numbers' COLLATE NOCASE",
                                -1, &statement, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    switch (rc & 0xFF) {
    case SQLITE_ROW:
        return {};
    case SQLITE_DONE:
        return QStringLiteral("Die Datenbank hat keine Tabelle „Numbers“. Ist es die richtige Datei?");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return WithEngineText(LockedReason(busyTimeoutMs), handle);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return WithEngineText(QStringLiteral("Die Datei ist keine Tarifdatenbank (keine SQLite-Datenbank "
                                             "oder beschädigt)."),
                              handle);
    default:
        return WithEngineText(QStringLiteral("Die Datenbank lässt sich nicht lesen."), handle);
    }
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

namespace {

// Opens the connection's file read-write; empty on success, else why not.
QString OpenProblem(TariffConnection &connection, int busyTimeoutMs)
{
    const QString &dataSource = connection.Path();
    if (QString problem = FileProblem(dataSource); !problem.isEmpty())
        return problem;
    QSqlDatabase &database = connection.Database();
    database.setDatabaseName(ReadWriteUri(dataSource));
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!database.open())
        return QStringLiteral("Die Datei lässt sich nicht öffnen (%1).").arg(database.lastError().databaseText());
    sqlite3 *handle = SqliteHandle(database);
    if (!handle || sqlite3_busy_timeout(handle, busyTimeoutMs) != SQLITE_OK || !RegisterSqliteExtensions(handle))
        return WithEngineText(QStringLiteral("Die Datenbank-Schnittstelle lässt sich nicht einrichten."), handle);
    if (QString problem = SchemaProblem(handle, busyTimeoutMs); !problem.isEmpty())
        return problem;
    // SQLite quietly opens a file it may not write read-only; a run could
    // then do nothing but fail at its first write.
    if (sqlite3_db_readonly(handle, "main") != 0)
        return QStringLiteral("Die Datei ist schreibgeschützt; das Update muss sie ändern. "
                              "Bitte den Schreibschutz aufheben.");
    if (!KeepChangesInMemory(database))
        return WithEngineText(QStringLiteral("Die Datenbank lässt sich nicht einrichten."), handle);
    return {};
}

} // namespace

std::unique_ptr<TariffConnection> OpenTariffDatabase(const QString &path, int cursorLocation,
                                                     MessageSink &messages, int busyTimeoutMs)
{
    Q_UNUSED(cursorLocation);
    const QString dataSource = DataSourceOf(BuildConnectionString(path, kDatabasePassword));
    std::unique_ptr<TariffConnection> connection(new TariffConnection(NewConnectionName(), dataSource));
    const QString problem = OpenProblem(*connection, busyTimeoutMs);
    if (!problem.isEmpty()) {
        messages.ShowError(QStringLiteral("Datenbank ") + path + QStringLiteral(" konnte nicht geöffnet werden!\n")
                           + problem);
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
                    .arg(path, DescribeSqliteCode(rc, QString::fromUtf8(handle ? sqlite3_errmsg(handle)
                                                                                : sqlite3_errstr(rc))));
    sqlite3_close_v2(handle);
    if (!error.isEmpty() && rc != SQLITE_CANTOPEN)
        QFile::remove(path);
    return error;
}

} // namespace preisliste
