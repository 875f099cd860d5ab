#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

struct sqlite3_context;
struct sqlite3_value;

namespace preisliste {

class SqliteConnection;

// One call of an SQL function served by this program: its arguments and
// its answer. Valid only during the call.
class SqlFunctionCall {
public:
    SqlFunctionCall(sqlite3_context *context, sqlite3_value **arguments) : context_(context), arguments_(arguments) {}

    bool IsNull(int argument) const;
    bool IsNumber(int argument) const; // stored as an integer or a real
    double Double(int argument) const;
    QString Text(int argument) const;
    // The argument's text as UTF-8 bytes, valid during the call only.
    QByteArrayView Utf8(int argument) const;

    // The argument unchanged, with its type.
    void ReturnArgument(int argument);
    void ReturnDouble(double value);
    void ReturnBool(bool value);
    // Ends the statement with an error; the caller keeps the reason, since
    // the engine's text would not say it in the operator's words.
    void Fail();

private:
    sqlite3_context *context_;
    sqlite3_value **arguments_;
};

using SqlFunction = std::function<void(SqlFunctionCall &)>;

// Serves the SQL function `name` with `argumentCount` arguments through
// `function` on one connection for as long as this object lives. The
// function may keep state (counters, the stop request), so the engine calls
// it once per use and never caches its answer.
class ScopedSqlFunction {
public:
    ScopedSqlFunction(SqliteConnection &connection, const char *name, int argumentCount, SqlFunction function);
    ~ScopedSqlFunction();
    ScopedSqlFunction(const ScopedSqlFunction &) = delete;
    ScopedSqlFunction &operator=(const ScopedSqlFunction &) = delete;

    // False when the engine refused the function; Error() of the connection
    // then says why.
    bool Registered() const { return registered_; }

private:
    SqliteConnection &connection_;
    const char *name_;
    int argumentCount_;
    SqlFunction function_;
    bool registered_ = false;
};

} // namespace preisliste
