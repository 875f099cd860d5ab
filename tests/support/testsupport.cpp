#include "support/testsupport.h"

#include "db/tariffdatabase.h"

#include <QCryptographicHash>
#include <QFile>

#include <sqlite3.h>

namespace preisliste::test {

namespace {

sqlite3 *OpenRaw(const QString &path)
{
    sqlite3 *handle = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path.toStdString();
        sqlite3_close_v2(handle);
        return nullptr;
    }
    sqlite3_busy_timeout(handle, 5000);
    return handle;
}

QString ValueText(sqlite3_stmt *statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return QStringLiteral("NULL");
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

} // namespace

QStringList RecordingMessages::Texts() const
{
    QStringList texts;
    for (const auto &message : messages)
        texts << message.text;
    return texts;
}

bool ScriptedProgress::SetProgress(int overall, int action)
{
    ++calls;
    history.append({overall, action});
    return StopRequested();
}

TempTariff::TempTariff() : path_(dir_.filePath(QStringLiteral("Numbers.mdb")))
{
    const QString error = CreateTariffDatabase(path_);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
}

QString TempTariff::WriteFile(const QString &name, const QByteArray &content) const
{
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    return path;
}

void TempTariff::Execute(const QString &sql) const
{
    sqlite3 *handle = OpenRaw(path_);
    char *error = nullptr;
    if (sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        ADD_FAILURE() << sql.toStdString() << ": " << (error ? error : "?");
    sqlite3_free(error);
    sqlite3_close_v2(handle);
}

QStringList TempTariff::Rows(const QString &sql) const
{
    return RowsOf(path_, sql);
}

QStringList TempTariff::RowsOf(const QString &databasePath, const QString &sql)
{
    QStringList rows;
    sqlite3 *handle = OpenRaw(databasePath);
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql.toStdString() << ": " << sqlite3_errmsg(handle);
    } else {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                columns << ValueText(statement, i);
            rows << columns.join(u'|');
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close_v2(handle);
    return rows;
}

QString TempTariff::Snapshot() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &table : Rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"))) {
        hash.addData(table.toUtf8());
        for (const QString &row : Rows(QStringLiteral("SELECT * FROM \"%1\"").arg(table)))
            hash.addData(row.toUtf8() + '\n');
    }
    for (const QString &schema : Rows(QStringLiteral("SELECT sql FROM sqlite_master ORDER BY name")))
        hash.addData(schema.toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

QByteArray TempTariff::FileBytes() const
{
    QFile file(path_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TempTariff::AddNumber(const QString &number, const QString &name, const QVariant &priceEur,
                           const QVariant &rateEk) const
{
    auto sqlValue = [](const QVariant &value) {
        return value.isValid() ? value.toString() : QStringLiteral("NULL");
    };
    QString quotedName = name;
    quotedName.replace(u'\'', QStringLiteral("''"));
    Execute(QStringLiteral("INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, GraceTime) "
                           "VALUES ('%1', '%2', %3, %4, 0)")
                .arg(number, quotedName, sqlValue(priceEur), sqlValue(rateEk)));
}

} // namespace preisliste::test

#include <QProcess>

namespace preisliste::test {

ReadOnlyFile::ReadOnlyFile(QString path) : path_(std::move(path))
{
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup);
    if (QFile(path_).open(QIODevice::ReadWrite)) {
        immutable_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
        if (!immutable_)
            ADD_FAILURE() << "cannot make " << path_.toStdString() << " read-only (chattr +i failed)";
    }
    active_ = !QFile(path_).open(QIODevice::ReadWrite);
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (immutable_)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

} // namespace preisliste::test

#include <QProcessEnvironment>

namespace preisliste::test {

CliResult RunCli(const QStringList &arguments, const QString &workingDirectory, const QStringList &environment)
{
    const QString binary = qEnvironmentVariable("PREISLISTE_BINARY");
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TELVORO_SETTINGS"));
    for (const QString &entry : environment)
        env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    process.setProcessEnvironment(env);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(binary, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "the program did not finish";
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace preisliste::test
