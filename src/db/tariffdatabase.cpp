#include "db/tariffdatabase.h"

#include "common/runsinks.h"
#include "db/sqliteextensions.h"
#include "db/sqlhelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <sqlite3.h>

namespace preisliste {

namespace {

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
QString SchemaProblem(SqliteConnection &connection, int busyTimeoutMs)
{
    sqlite3 *handle = connection.Handle();
    SqliteStatement statement = connection.Prepare(
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Numbers' COLLATE NOCASE"));
    const bool found = statement.Next();
    if (found)
        return {};
    const int rc = statement.Failed() ? sqlite3_extended_errcode(handle) : SQLITE_DONE;
    switch (rc & 0xFF) {
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

// How the run's connection uses memory. A 1,000,000-row update stays under
// 250 MB with these figures, and a usual tariff never touches the disk
// before the commit.
// - The run's changes to the tariff stay in memory until the commit (up to
//   kMaxUnsavedChangesBytes), so the file is locked against readers
//   (Telvoro among them) only for the commit itself, not from the moment a
//   large update would spill its changes to the file. Pages only read are
//   kept up to kReadCacheBytes; that figure also bounds each sort's memory.
// - The working tables in the temporary schema get a cache of their own;
//   beyond it they spill to a temporary file, which nobody waits for.
//   Their freed pages need no overwriting: they never reach the tariff.
//   (16 KiB pages for them held 150 MB more at 1,000,000 rows, for no clear
//   gain in time.)
constexpr int kReadCacheBytes = 32 << 20;
constexpr int kMaxUnsavedChangesBytes = 256 << 20;
constexpr int kWorkingTablesCacheBytes = 48 << 20;

bool SetUpRunMemory(SqliteConnection &connection)
{
    SqliteStatement pageSize = connection.Prepare(QStringLiteral("PRAGMA main.page_size"));
    if (!pageSize.Next() || pageSize.Int64(0) <= 0)
        return false;
    const qint64 unsavedPages = kMaxUnsavedChangesBytes / pageSize.Int64(0);
    return connection.Exec(QStringLiteral("PRAGMA main.cache_size = -%1").arg(kReadCacheBytes / 1024))
           && connection.Exec(QStringLiteral("PRAGMA main.cache_spill = %1").arg(unsavedPages))
           && connection.Exec(QStringLiteral("PRAGMA temp.cache_size = -%1").arg(kWorkingTablesCacheBytes / 1024))
           && connection.Exec(QStringLiteral("PRAGMA temp.secure_delete = OFF"));
}

// Opens the file read-write; empty with the reason in `problem` when it
// cannot serve as the tariff database.
std::unique_ptr<SqliteConnection> OpenChecked(const QString &path, int busyTimeoutMs, QString &problem)
{
    problem = FileProblem(path);
    if (!problem.isEmpty())
        return nullptr;
    // Without SQLITE_OPEN_CREATE a missing file is an error, never a new database.
    auto connection = SqliteConnection::Open(path, SQLITE_OPEN_READWRITE, busyTimeoutMs, problem);
    if (!connection)
        return nullptr;
    if (!connection->RegisterExtensions())
        problem = WithEngineText(QStringLiteral("Die Datenbank-Schnittstelle lässt sich nicht einrichten."),
                                 connection->Handle());
    else
        problem = SchemaProblem(*connection, busyTimeoutMs);
    // SQLite quietly opens a file it may not write read-only; a run could
    // then do nothing but fail at its first write.
    if (problem.isEmpty() && connection->IsReadOnly())
        problem = QStringLiteral("Die Datei ist schreibgeschützt; das Update muss sie ändern. "
                                 "Bitte den Schreibschutz aufheben.");
    if (problem.isEmpty() && !SetUpRunMemory(*connection))
        problem = WithEngineText(QStringLiteral("Die Datenbank lässt sich nicht einrichten."), connection->Handle());
    return problem.isEmpty() ? std::move(connection) : nullptr;
}

} // namespace

std::unique_ptr<SqliteConnection> OpenTariffDatabase(const QString &path, QString &error, int busyTimeoutMs)
{
    QString problem;
    auto connection = OpenChecked(path, busyTimeoutMs, problem);
    if (!connection)
        error = QStringLiteral("Datenbank ") + path + QStringLiteral(" konnte nicht geöffnet werden!\n") + problem;
    return connection;
}

QString CreateTariffDatabase(const QString &path)
{
    if (QFileInfo::exists(path))
        return QStringLiteral("Die Datei %1 existiert bereits und wird nicht überschrieben.").arg(path);
    QString problem;
    bool created = false;
    {
        const auto connection =
            SqliteConnection::Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kDefaultBusyTimeoutMs, problem);
        created = connection != nullptr;
        if (connection && !connection->Exec(kCreateNumbersStatement))
            problem = connection->Error();
    }
    if (problem.isEmpty())
        return {};
    // A file the engine could not even open was never made.
    if (created)
        QFile::remove(path);
    return QStringLiteral("Die Datenbank %1 konnte nicht angelegt werden: %2").arg(path, problem);
}

} // namespace preisliste
