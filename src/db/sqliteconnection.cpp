#include "db/sqliteconnection.h"

#include "common/runsinks.h"
#include "db/sqlhelpers.h"
#include "db/sqliteextensions.h"

#include <QFile>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace preisliste {

namespace {

// Often enough that "Stopp" ends a merge statement over a million rows
// within a fraction of a second, rarely enough to cost nothing measurable.
constexpr int kInstructionsBetweenStopChecks = 20000;

// Every connection keeps to one thread at a time (a second thread may only
// interrupt it), so SQLite need not lock around each call, unless the caller
// asks for it. Nor need it count the memory it holds: nothing here reads the
// count, and keeping it takes a global lock on every allocation. That setting
// is global and must come before SQLite is first used.
int WithDefaultThreading(int flags)
{
    static const bool memoryUncounted = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    Q_UNUSED(memoryUncounted);
    return flags & SQLITE_OPEN_FULLMUTEX ? flags : flags | SQLITE_OPEN_NOMUTEX;
}

// What the file copy reads and writes at a time.
constexpr sqlite3_int64 kCopyChunkBytes = 1 << 20;

// The main database's file as the engine has it open; null when it has none.
sqlite3_file *MainFile(sqlite3 *handle)
{
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(handle, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK)
        return nullptr;
    return file && file->pMethods ? file : nullptr;
}

// Copies `size` bytes of `source` into `target` and syncs it; empty on
// success, else why not.
QString CopyBytes(sqlite3_file *source, sqlite3_int64 size, QFile &target)
{
    std::vector<char> chunk(size_t(std::min(size, kCopyChunkBytes)));
    for (sqlite3_int64 offset = 0; offset < size; offset += kCopyChunkBytes) {
        const int bytes = int(std::min(size - offset, kCopyChunkBytes));
        const int rc = source->pMethods->xRead(source, chunk.data(), bytes, offset);
        if (rc != SQLITE_OK)
            return DescribeSqliteCode(rc, QString::fromUtf8(sqlite3_errstr(rc)));
        if (target.write(chunk.data(), bytes) != bytes)
            return target.errorString();
    }
    if (!target.flush() || ::fsync(target.handle()) != 0)
        return target.errorString();
    return {};
}

int StopRequested(void *stop)
{
    return static_cast<const ProgressSink *>(stop)->StopRequested() ? 1 : 0;
}

} // namespace

std::unique_ptr<SqliteConnection> SqliteConnection::Open(const QString &path, int flags, int busyTimeoutMs,
                                                         QString &error)
{
    sqlite3 *handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, WithDefaultThreading(flags), nullptr);
    std::unique_ptr<SqliteConnection> connection(new SqliteConnection(handle, path));
    if (rc != SQLITE_OK) {
        error = DescribeSqliteCode(rc, QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc)));
        return nullptr;
    }
    // Errors name their exact cause (SQLITE_IOERR_WRITE rather than SQLITE_IOERR).
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, busyTimeoutMs);
    return connection;
}

SqliteConnection::~SqliteConnection()
{
    // Closing rolls back whatever was not committed.
    sqlite3_close_v2(handle_);
}

bool SqliteConnection::Exec(const QString &sql)
{
    return sqlite3_exec(handle_, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqliteStatement SqliteConnection::Prepare(const QString &sql) const
{
    SqliteStatement statement;
    statement.Prepare(*this, sql);
    return statement;
}

QString SqliteConnection::Error() const
{
    return DescribeSqliteError(handle_);
}

qint64 SqliteConnection::Changes() const
{
    return sqlite3_changes64(handle_);
}

bool SqliteConnection::InTransaction() const
{
    return sqlite3_get_autocommit(handle_) == 0;
}

bool SqliteConnection::IsReadOnly() const
{
    return sqlite3_db_readonly(handle_, "main") != 0;
}

bool SqliteConnection::RegisterExtensions()
{
    return RegisterSqliteExtensions(handle_);
}

void SqliteConnection::InterruptOnStop(const ProgressSink *stop)
{
    if (stop)
        sqlite3_progress_handler(handle_, kInstructionsBetweenStopChecks, &StopRequested,
                                 const_cast<ProgressSink *>(stop));
    else
        sqlite3_progress_handler(handle_, 0, nullptr, nullptr);
}

void SqliteConnection::Interrupt()
{
    sqlite3_interrupt(handle_);
}

bool SqliteConnection::CopyInto(SqliteConnection &destination, QString &error)
{
    sqlite3_backup *backup = sqlite3_backup_init(destination.handle_, "main", handle_, "main");
    if (!backup) {
        error = destination.Error();
        return false;
    }
    const int stepResult = sqlite3_backup_step(backup, -1);
    const int finishResult = sqlite3_backup_finish(backup);
    if (stepResult != SQLITE_DONE || finishResult != SQLITE_OK) {
        const int rc = stepResult != SQLITE_DONE ? stepResult : finishResult;
        error = DescribeSqliteCode(rc, QString::fromUtf8(sqlite3_errstr(rc)));
        return false;
    }
    return true;
}

SqliteConnection::FileCopy SqliteConnection::CopyFileTo(const QString &target, QString &error)
{
    // The read transaction's lock keeps writers off the file, and the
    // journal mode as it is, until the copy is whole; the read makes the
    // engine take it (and open the file).
    SqliteStatement read = Prepare(QStringLiteral("SELECT 1 FROM sqlite_master LIMIT 1"));
    SqliteStatement mode = Prepare(QStringLiteral("PRAGMA main.journal_mode"));
    if (!Exec(QStringLiteral("BEGIN")) || !read.Run() || !mode.Next()) {
        error = read.Failed() ? read.Error() : mode.Failed() ? mode.Error() : Error();
        Exec(QStringLiteral("ROLLBACK"));
        return FileCopy::Failed;
    }
    const bool writeAheadLog = mode.Text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
    mode.Reset();
    if (writeAheadLog) {
        Exec(QStringLiteral("ROLLBACK"));
        return FileCopy::HasWriteAheadLog;
    }
    sqlite3_file *source = MainFile(handle_);
    sqlite3_int64 size = 0;
    QFile copy(target);
    if (!source || source->pMethods->xFileSize(source, &size) != SQLITE_OK)
        error = QStringLiteral("die Datenbankdatei lässt sich nicht lesen");
    else if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        error = copy.errorString();
    else
        error = CopyBytes(source, size, copy);
    Exec(QStringLiteral("ROLLBACK"));
    return error.isEmpty() ? FileCopy::Copied : FileCopy::Failed;
}

} // namespace preisliste
