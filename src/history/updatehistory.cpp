#include "history/updatehistory.h"

#include "db/backup.h"
#include "db/sqliteconnection.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>


namespace preisliste {

namespace {

constexpr int kHistoryBusyTimeoutMs = 2000;

constexpr char kCreateTable[] =
    "CREATE TABLE IF NOT EXISTS updates ("
    "id INTEGER PRIMARY KEY, started TEXT NOT NULL, ended TEXT NOT NULL, "
    "source_file TEXT, customer_id TEXT, server TEXT, "
    "list_id TEXT, list_sequence INTEGER, effective TEXT, sha256 TEXT, "
    "same_name INTEGER, same_prefix INTEGER, new_prefix INTEGER, new_subdestination INTEGER, "
    "new_destinations INTEGER, repriced INTEGER, "
    "rows_before INTEGER, rows_after INTEGER, added INTEGER, removed INTEGER, removed_rows INTEGER, "
    "renamed INTEGER, raised INTEGER, lowered INTEGER, purchase_changed INTEGER, below_cost INTEGER, "
    "priced_zero INTEGER, skipped_lines INTEGER, "
    "outcome TEXT NOT NULL, message TEXT, dry_run INTEGER NOT NULL, backup_file TEXT, report_file TEXT)";

// Every column but id, in the order WriteRecord() binds and ReadRecord()
// reads them.
constexpr char kColumns[] =
    "started, ended, source_file, customer_id, server, list_id, list_sequence, effective, sha256, "
    "same_name, same_prefix, new_prefix, new_subdestination, new_destinations, repriced, "
    "rows_before, rows_after, added, removed, removed_rows, renamed, raised, lowered, purchase_changed, "
    "below_cost, priced_zero, skipped_lines, outcome, message, dry_run, backup_file, report_file";
constexpr int kColumnCount = 32;

struct OutcomeKey {
    HistoryOutcome outcome;
    const char *key;
};
constexpr OutcomeKey kOutcomeKeys[] = {
    {HistoryOutcome::Committed, "committed"}, {HistoryOutcome::Failed, "failed"},
    {HistoryOutcome::Stopped, "stopped"},     {HistoryOutcome::Refused, "refused"},
    {HistoryOutcome::Unchanged, "unchanged"}, {HistoryOutcome::NotYetEffective, "not-yet-effective"},
};

QString KeyOf(HistoryOutcome outcome)
{
    for (const OutcomeKey &entry : kOutcomeKeys)
        if (entry.outcome == outcome)
            return QString::fromLatin1(entry.key);
    return {};
}

HistoryOutcome OutcomeOfKey(const QString &key)
{
    for (const OutcomeKey &entry : kOutcomeKeys)
        if (key == QLatin1String(entry.key))
            return entry.outcome;
    return HistoryOutcome::Failed;
}

// Times keep their offset from UTC, so that a history read after a change to
// or from summer time still sorts and shows them right.
QString TimeText(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QDateTime TimeOf(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
}

// Binds the parameters of a statement one after the other; empty texts and
// missing numbers as Null.
class Binder {
public:
    explicit Binder(SqliteStatement &statement) : statement_(statement) {}
    void Text(const QString &text)
    {
        if (text.isEmpty())
            statement_.BindNull(next_++);
        else
            statement_.BindString(next_++, text);
    }
    void Number(std::optional<qint64> value)
    {
        if (value)
            statement_.BindInt64(next_++, *value);
        else
            statement_.BindNull(next_++);
    }

private:
    SqliteStatement &statement_;
    int next_ = 1;
};

// Reads the columns of a row one after the other.
class Reader {
public:
    explicit Reader(const SqliteStatement &row) : row_(row) {}
    QString Text()
    {
        const int column = next_++;
        return row_.IsNull(column) ? QString() : row_.Text(column);
    }
    std::optional<qint64> Number()
    {
        const int column = next_++;
        return row_.IsNull(column) ? std::nullopt : std::optional(row_.Int64(column));
    }

private:
    const SqliteStatement &row_;
    int next_ = 0;
};

template <typename Value, typename Fields>
void BindFields(Binder &bind, const std::optional<Value> &values, const Fields &fields)
{
    for (const auto field : fields)
        bind.Number(values ? std::optional<qint64>((*values).*field) : std::nullopt);
}

// The fields are all there or all Null, as they were written.
template <typename Value, typename Fields>
std::optional<Value> ReadFields(Reader &read, const Fields &fields)
{
    Value values{};
    bool present = false;
    for (const auto field : fields) {
        const std::optional<qint64> number = read.Number();
        present = present || number.has_value();
        values.*field = static_cast<std::remove_reference_t<decltype(values.*field)>>(number.value_or(0));
    }
    return present ? std::optional(values) : std::nullopt;
}

void WriteRecord(Binder &bind, const HistoryRecord &record)
{
    bind.Text(TimeText(record.started));
    bind.Text(TimeText(record.ended));
    bind.Text(record.sourceFile);
    bind.Text(record.customerId);
    bind.Text(record.server);
    bind.Text(record.listId);
    bind.Number(record.listSequence);
    bind.Text(record.effective ? TimeText(*record.effective) : QString());
    bind.Text(record.sha256);
    BindFields(bind, record.merge, kMergeFigures);
    bind.Number(record.repriced);
    BindFields(bind, record.changes, kChangeFigures);
    bind.Text(KeyOf(record.outcome));
    bind.Text(record.message);
    bind.Number(record.dryRun ? 1 : 0);
    bind.Text(record.backupFile);
    bind.Text(record.reportFile);
}

HistoryRecord ReadRecord(Reader &read)
{
    HistoryRecord record;
    record.started = TimeOf(read.Text());
    record.ended = TimeOf(read.Text());
    record.sourceFile = read.Text();
    record.customerId = read.Text();
    record.server = read.Text();
    record.listId = read.Text();
    if (const std::optional<qint64> sequence = read.Number())
        record.listSequence = qint32(*sequence);
    if (const QString effective = read.Text(); !effective.isEmpty())
        record.effective = TimeOf(effective);
    record.sha256 = read.Text();
    record.merge = ReadFields<MergeStatistics>(read, kMergeFigures);
    record.repriced = read.Number();
    record.changes = ReadFields<ChangeCounts>(read, kChangeFigures);
    record.outcome = OutcomeOfKey(read.Text());
    record.message = read.Text();
    record.dryRun = read.Number().value_or(0) != 0;
    record.backupFile = read.Text();
    record.reportFile = read.Text();
    return record;
}

QString Placeholders()
{
    QStringList marks;
    for (int i = 1; i <= kColumnCount; ++i)
        marks.append(QStringLiteral("?%1").arg(i));
    return marks.join(QStringLiteral(", "));
}

std::optional<QList<HistoryRecord>> Select(const QString &databasePath, const QString &condition, int limit,
                                           QString &error)
{
    error.clear();
    const QString file = HistoryFile(databasePath);
    if (!QFileInfo::exists(file))
        return QList<HistoryRecord>{};
    const auto unreadable = [&](const QString &reason) {
        error = QStringLiteral("Der Verlauf %1 lässt sich nicht lesen: %2").arg(file, reason);
        return std::nullopt;
    };
    QString reason;
    const auto history = SqliteConnection::Open(file, SQLITE_OPEN_READONLY, kHistoryBusyTimeoutMs, reason);
    if (!history)
        return unreadable(reason);
    SqliteStatement rows = history->Prepare(QStringLiteral("SELECT %1 FROM updates %2 ORDER BY id DESC LIMIT %3")
                                                .arg(QString::fromLatin1(kColumns), condition)
                                                .arg(limit > 0 ? limit : -1));
    QList<HistoryRecord> records;
    while (!rows.Failed() && rows.Next()) {
        Reader read(rows);
        records.append(ReadRecord(read));
    }
    if (rows.Failed())
        return unreadable(rows.Error());
    return records;
}

} // namespace

QString HistoryFile(const QString &databasePath)
{
    return QDir(BackupFolder(databasePath)).filePath(QFileInfo(databasePath).completeBaseName()
                                                     + QStringLiteral("-verlauf.sqlite"));
}

QString AppendToHistory(const QString &databasePath, const HistoryRecord &record)
{
    const QString file = HistoryFile(databasePath);
    const auto failed = [&](const QString &reason) {
        return QStringLiteral("Der Verlauf %1 konnte nicht geschrieben werden: %2").arg(file, reason);
    };
    if (!QDir().mkpath(BackupFolder(databasePath)))
        return failed(QStringLiteral("Der Ordner lässt sich nicht anlegen."));
    QString reason;
    const auto history = SqliteConnection::Open(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                                kHistoryBusyTimeoutMs, reason);
    if (!history)
        return failed(reason);
    if (!history->Exec(QString::fromLatin1(kCreateTable)))
        return failed(history->Error());
    SqliteStatement insert = history->Prepare(
        QStringLiteral("INSERT INTO updates (%1) VALUES (%2)").arg(QString::fromLatin1(kColumns), Placeholders()));
    if (insert.Failed())
        return failed(insert.Error());
    Binder bind(insert);
    WriteRecord(bind, record);
    if (!insert.Run())
        return failed(insert.Error());
    return {};
}

std::optional<QList<HistoryRecord>> ReadHistory(const QString &databasePath, int limit, QString &error)
{
    return Select(databasePath, QString(), limit, error);
}

std::optional<HistoryRecord> LastAppliedList(const QString &databasePath, QString &error)
{
    const std::optional<QList<HistoryRecord>> last = Select(
        databasePath, QStringLiteral("WHERE outcome = 'committed' AND dry_run = 0 AND sha256 IS NOT NULL"), 1, error);
    if (!last || last->isEmpty())
        return std::nullopt;
    return last->constFirst();
}

bool IsSameDownloadedList(const HistoryRecord &last, const QString &server, const QString &listId, qint32 sequence)
{
    return !last.server.isEmpty() && last.server == server && last.listId == listId && last.listSequence == sequence;
}

} // namespace preisliste
