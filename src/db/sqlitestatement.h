#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace preisliste {

class SqliteConnection;

// A copy of one value of a result, whatever its type, to be bound again
// exactly as it was read. Empty (no value at all) when default-made or when
// the copy could not be made.
class SqlValue {
public:
    SqlValue() = default;
    explicit SqlValue(const sqlite3_value *value);
    ~SqlValue();
    SqlValue(SqlValue &&other) noexcept;
    SqlValue &operator=(SqlValue &&other) noexcept;
    SqlValue(const SqlValue &) = delete;
    SqlValue &operator=(const SqlValue &) = delete;

    bool IsValid() const { return value_ != nullptr; }
    bool IsNull() const; // a copy of SQL's Null, not a missing copy
    const sqlite3_value *Get() const { return value_; }

private:
    sqlite3_value *value_ = nullptr;
};

// One prepared statement on a SqliteConnection: what every stage runs, from
// the import's insert per line to the report's walk over a tariff. Names
// come out as the UTF-8 bytes that the collation compares. Errors are
// described as DescribeSqliteError() does.
class SqliteStatement {
public:
    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool Prepare(const SqliteConnection &connection, const QString &sql);

    // Parameters count from 1.
    void BindText(int index, QByteArrayView utf8);
    // Binds without copying: the bytes must stay unchanged until the
    // statement has run. For the import's insert, which runs once per line.
    void BindStaticText(int index, QByteArrayView utf8);
    void BindString(int index, const QString &text) { BindText(index, QByteArrayView(text.toUtf8())); }
    void BindDouble(int index, double value);
    void BindInt(int index, int value);
    void BindInt64(int index, qint64 value);
    void BindNull(int index);
    void BindPrice(int index, std::optional<double> price);
    // Binds a copied value as it was; an empty one as Null.
    void BindValue(int index, const SqlValue &value);
    // Binds the value in `column` of the current row of `rows` as it is,
    // whatever its type. False when it could not be copied (out of memory).
    bool BindColumn(int index, const SqliteStatement &rows, int column);

    // Steps once. True with a row; false at the end or on an error (Failed()).
    bool Next();
    // Runs a statement that returns no rows to its end and readies it for the
    // next run. False on an error.
    bool Run();
    // Readies the statement for the next run; bindings stay.
    void Reset();

    int ColumnCount() const;
    int Type(int column) const; // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL
    bool IsNull(int column) const;
    bool IsNumber(int column) const; // stored as an integer or a real
    QString ColumnName(int column) const;
    double Double(int column) const;
    qint64 Int64(int column) const;
    // Valid until the next step.
    QByteArrayView Utf8(int column) const;
    QString Text(int column) const;
    std::optional<double> Price(int column) const; // empty when Null
    SqlValue Value(int column) const;

    bool Failed() const { return !error_.isEmpty(); }
    const QString &Error() const { return error_; }

private:
    void NoteError();
    void Finalize();

    sqlite3 *handle_ = nullptr;
    sqlite3_stmt *statement_ = nullptr;
    QString error_;
};

} // namespace preisliste
