#include "support/testsupport.h"

#include <QFileInfo>

#include "db/tariffdatabase.h"

#include <QCryptographicHash>

#include <cmath>
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

QVariant ColumnValue(const SqliteStatement &row, int column)
{
    switch (row.Type(column)) {
    case SQLITE_INTEGER:
        return row.Int64(column);
    case SQLITE_FLOAT:
        return row.Double(column);
    case SQLITE_NULL:
        return {};
    default:
        return row.Text(column);
    }
}

} // namespace

std::unique_ptr<SqliteConnection> OpenForRun(const QString &path, int busyTimeoutMs)
{
    QString error;
    auto connection = OpenTariffDatabase(path, error, busyTimeoutMs);
    EXPECT_TRUE(connection) << error.toStdString();
    return connection;
}

QStringList QueryRows(const SqliteConnection &connection, const QString &sql)
{
    SqliteStatement rows = connection.Prepare(sql);
    QStringList texts;
    while (rows.Next()) {
        QStringList columns;
        for (int i = 0; i < rows.ColumnCount(); ++i) {
            const QVariant value = ColumnValue(rows, i);
            columns << (value.isValid() ? value.toString() : QStringLiteral("NULL"));
        }
        texts << columns.join(u'|');
    }
    EXPECT_FALSE(rows.Failed()) << sql.toStdString() << ": " << rows.Error().toStdString();
    return texts;
}

QVariant QueryValue(const SqliteConnection &connection, const QString &sql)
{
    SqliteStatement rows = connection.Prepare(sql);
    const QVariant value = rows.Next() ? ColumnValue(rows, 0) : QVariant();
    EXPECT_FALSE(rows.Failed()) << sql.toStdString() << ": " << rows.Error().toStdString();
    return value;
}

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

bool TempTariff::CopySample() const
{
    const bool copied = QFile::remove(path_) && QFile::copy(kSampleDir + QStringLiteral("/Numbers.mdb"), path_);
    return copied && QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
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

QString TempTariff::SnapshotOf(const QString &databasePath)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto rows = [&](const QString &sql) { return RowsOf(databasePath, sql); };
    for (const QString &table : rows(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"))) {
        hash.addData(table.toUtf8());
        for (const QString &row : rows(QStringLiteral("SELECT * FROM \"%1\"").arg(table)))
            hash.addData(row.toUtf8() + '\n');
    }
    for (const QString &schema : rows(QStringLiteral("SELECT sql FROM sqlite_master ORDER BY name")))
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
    // A null name is stored as NULL, an empty one as ''.
    QString quotedName = name;
    quotedName.replace(u'\'', QStringLiteral("''"));
    quotedName = name.isNull() ? QStringLiteral("NULL") : u'\'' + quotedName + u'\'';
    Execute(QStringLiteral("INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, GraceTime) "
                           "VALUES ('%1', %2, %3, %4, 0)")
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

ReadOnlyFolder::ReadOnlyFolder(QString path) : path_(std::move(path))
{
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser);
    if (QFileInfo(path_).isWritable()) {
        immutable_ = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path_}) == 0;
        if (!immutable_)
            ADD_FAILURE() << "cannot make " << path_.toStdString() << " read-only (chattr +i failed)";
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (immutable_)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path_});
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
                                     | QFile::WriteUser | QFile::ExeUser);
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
    for (const QString &entry : environment) {
        if (entry.contains(u'='))
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        else
            env.remove(entry); // a bare name takes the variable away
    }
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

namespace preisliste::test {

namespace {

QString LargeName(int i)
{
    static const char16_t *const countries[] = {u"Österreich", u"Türkei", u"Schweiz", u"Frankreich", u"Polen",
                                                u"Ägypten", u"Spanien", u"Italien", u"Großbritannien", u"Irland"};
    static const char16_t *const kinds[] = {u"", u" Mobil", u" Mobil Netz A", u" Festnetz"};
    return QString::fromUtf16(countries[i % 10]) + QString::fromUtf16(kinds[(i / 10) % 4])
           + QStringLiteral(" %1").arg(i / 40);
}

} // namespace

void FillLargeTariff(const QString &path, int rows)
{
    sqlite3 *handle = OpenRaw(path);
    sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(handle,
                       "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK, GraceTime) VALUES (?, ?, ?, ?, 0)", -1,
                       &insert, nullptr);
    for (int i = 0; i < rows; ++i) {
        const QByteArray number = (i % 17 == 0 ? QByteArray("0") : QByteArray("00")) + QByteArray::number(100000 + i);
        const QByteArray name = LargeName(i).toUtf8();
        const double rate = 0.01 + (i % 300) / 1000.0;
        sqlite3_bind_text(insert, 1, number.constData(), int(number.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 3, std::round(rate * 1.19 * 1.6 * 100 + 0.5) / 100);
        sqlite3_bind_double(insert, 4, rate);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
}

QByteArray LargePriceList(int lines)
{
    QByteArray list = "#kvtpricelist\r\nList-ID: 1\r\nList-Sequence: 1\r\nEffective: 01.03.2011 00:00\r\n\r\n";
    list.reserve(lines * 40);
    // Every seventh tariff row is left out; the rest come with a new price,
    // and a few destinations are new.
    for (int i = 0, written = 0; written < lines; ++i) {
        if (i % 7 == 3)
            continue;
        const bool national = i % 17 == 0;
        const QByteArray number = (national ? QByteArray("0049") : QByteArray("00")) + QByteArray::number(100000 + i);
        const QString name = i % 11 == 5 ? LargeName(i) + QStringLiteral(" Neu") : LargeName(i);
        list += number + ';' + name.toUtf8() + ';' + QByteArray::number(0.011 + (i % 290) / 1000.0, 'f', 4).replace('.', ',')
                + "\r\n";
        ++written;
    }
    return list;
}

} // namespace preisliste::test
