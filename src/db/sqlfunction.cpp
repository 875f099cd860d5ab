#include "db/sqlfunction.h"

#include "db/sqliteconnection.h"

#include <sqlite3.h>

namespace preisliste {

namespace {

void CallFunction(sqlite3_context *context, int, sqlite3_value **arguments)
{
    SqlFunctionCall call(context, arguments);
    (*static_cast<SqlFunction *>(sqlite3_user_data(context)))(call);
}

} // namespace

bool SqlFunctionCall::IsNull(int argument) const
{
    return sqlite3_value_type(arguments_[argument]) == SQLITE_NULL;
}

bool SqlFunctionCall::IsNumber(int argument) const
{
    const int type = sqlite3_value_type(arguments_[argument]);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

double SqlFunctionCall::Double(int argument) const
{
    return sqlite3_value_double(arguments_[argument]);
}

QString SqlFunctionCall::Text(int argument) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments_[argument]));
    return QString::fromUtf8(text, sqlite3_value_bytes(arguments_[argument]));
}

QByteArrayView SqlFunctionCall::Utf8(int argument) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments_[argument]));
    return QByteArrayView(text, sqlite3_value_bytes(arguments_[argument]));
}

void SqlFunctionCall::ReturnArgument(int argument)
{
    sqlite3_result_value(context_, arguments_[argument]);
}

void SqlFunctionCall::ReturnDouble(double value)
{
    sqlite3_result_double(context_, value);
}

void SqlFunctionCall::ReturnBool(bool value)
{
    sqlite3_result_int(context_, value ? 1 : 0);
}

void SqlFunctionCall::Fail()
{
    sqlite3_result_error(context_, "function failed", -1);
}

ScopedSqlFunction::ScopedSqlFunction(SqliteConnection &connection, const char *name, int argumentCount,
                                     SqlFunction function)
    : connection_(connection), name_(name), argumentCount_(argumentCount), function_(std::move(function))
{
    // Not SQLITE_DETERMINISTIC: each row's call counts and reports progress.
    // SQLITE_DIRECTONLY: never run from a schema (a trigger or a view).
    registered_ = sqlite3_create_function_v2(connection_.Handle(), name_, argumentCount_,
                                             SQLITE_UTF8 | SQLITE_DIRECTONLY, &function_, &CallFunction, nullptr,
                                             nullptr, nullptr)
                  == SQLITE_OK;
}

ScopedSqlFunction::~ScopedSqlFunction()
{
    if (registered_)
        sqlite3_create_function_v2(connection_.Handle(), name_, argumentCount_, SQLITE_UTF8, nullptr, nullptr,
                                   nullptr, nullptr, nullptr);
}

} // namespace preisliste
