#include "db/sqlitestatement.h"

#include "db/sqlhelpers.h"
#include "db/sqliteconnection.h"

#include <sqlite3.h>

#include <utility>

namespace preisliste {

SqliteStatement::~SqliteStatement()
{
    Finalize();
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), statement_(std::exchange(other.statement_, nullptr)),
      error_(std::move(other.error_))
{
}

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    if (this != &other) {
        Finalize();
        handle_ = std::exchange(other.handle_, nullptr);
        statement_ = std::exchange(other.statement_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

void SqliteStatement::Finalize()
{
    sqlite3_finalize(statement_);
    statement_ = nullptr;
}

bool SqliteStatement::Prepare(const SqliteConnection &connection, const QString &sql)
{
    Finalize();
    handle_ = connection.Handle();
    error_.clear();
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(handle_, text.constData(), int(text.size()), &statement_, nullptr) != SQLITE_OK) {
        NoteError();
        return false;
    }
    return true;
}

void SqliteStatement::BindText(int index, QByteArrayView utf8)
{
    // An empty view may have no data pointer; SQLite would bind Null then.
    sqlite3_bind_text(statement_, index, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::BindStaticText(int index, QByteArrayView utf8)
{
    sqlite3_bind_text(statement_, index, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_STATIC);
}

void SqliteStatement::BindDouble(int index, double value)
{
    sqlite3_bind_double(statement_, index, value);
}

void SqliteStatement::BindInt(int index, int value)
{
    sqlite3_bind_int(statement_, index, value);
}

void SqliteStatement::BindInt64(int index, qint64 value)
{
    sqlite3_bind_int64(statement_, index, value);
}

void SqliteStatement::BindNull(int index)
{
    sqlite3_bind_null(statement_, index);
}

void SqliteStatement::BindPrice(int index, std::optional<double> price)
{
    if (price)
        BindDouble(index, *price);
    else
        BindNull(index);
}

bool SqliteStatement::Next()
{
    if (!statement_)
        return false;
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        NoteError();
    return false;
}

bool SqliteStatement::Run()
{
    while (Next()) {
    }
    Reset();
    return !Failed();
}

void SqliteStatement::Reset()
{
    if (statement_)
        sqlite3_reset(statement_);
}

int SqliteStatement::ColumnCount() const
{
    return sqlite3_column_count(statement_);
}

int SqliteStatement::Type(int column) const
{
    return sqlite3_column_type(statement_, column);
}

bool SqliteStatement::IsNull(int column) const
{
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

bool SqliteStatement::IsNumber(int column) const
{
    const int type = sqlite3_column_type(statement_, column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

QString SqliteStatement::ColumnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(statement_, column));
}

double SqliteStatement::Double(int column) const
{
    return sqlite3_column_double(statement_, column);
}

qint64 SqliteStatement::Int64(int column) const
{
    return sqlite3_column_int64(statement_, column);
}

QByteArrayView SqliteStatement::Utf8(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement_, column));
    return QByteArrayView(text, text ? sqlite3_column_bytes(statement_, column) : 0);
}

QString SqliteStatement::Text(int column) const
{
    const QByteArrayView text = Utf8(column);
    return QString::fromUtf8(text.data(), text.size());
}

std::optional<double> SqliteStatement::Price(int column) const
{
    if (IsNull(column))
        return std::nullopt;
    return Double(column);
}

bool SqliteStatement::BindColumn(int index, const SqliteStatement &rows, int column)
{
    return sqlite3_bind_value(statement_, index, sqlite3_column_value(rows.statement_, column)) == SQLITE_OK;
}

void SqliteStatement::BindValue(int index, const SqlValue &value)
{
    if (value.IsValid())
        sqlite3_bind_value(statement_, index, value.Get());
    else
        BindNull(index);
}

SqlValue SqliteStatement::Value(int column) const
{
    return SqlValue(sqlite3_column_value(statement_, column));
}

SqlValue::SqlValue(const sqlite3_value *value) : value_(value ? sqlite3_value_dup(value) : nullptr) {}

bool SqlValue::IsNull() const
{
    return value_ && sqlite3_value_type(value_) == SQLITE_NULL;
}

SqlValue::~SqlValue()
{
    sqlite3_value_free(value_);
}

SqlValue::SqlValue(SqlValue &&other) noexcept : value_(std::exchange(other.value_, nullptr)) {}

SqlValue &SqlValue::operator=(SqlValue &&other) noexcept
{
    if (this != &other) {
        sqlite3_value_free(value_);
        value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
}

void SqliteStatement::NoteError()
{
    error_ = DescribeSqliteError(handle_);
}

} // namespace preisliste
