#pragma once

#include "common/runsinks.h"
#include "db/tariffdatabase.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList &list, std::ostream *os) { *os << list.join(u'|').toStdString(); }
QT_END_NAMESPACE

namespace preisliste::test {

// The bundled sample data: Numbers.mdb, preise.csv.
inline const QString kSampleDir = QStringLiteral(PREISLISTE_SAMPLE_DIR);

struct RecordedMessage {
    MessageIcon icon;
    QString title;
    QString text;
};

class RecordingMessages : public MessageSink {
public:
    void ShowMessage(MessageIcon icon, const QString &title, const QString &text) override
    {
        messages.append({icon, title, text});
    }
    QStringList Texts() const;
    QList<RecordedMessage> messages;
};

// Records the progress calls; asks for a stop from call number `stopAtCall`
// on (1 = the first call), or never when it is 0.
class ScriptedProgress : public ProgressSink {
public:
    explicit ScriptedProgress(int stopAtCall = 0) : stopAtCall_(stopAtCall) {}
    bool SetProgress(int overall, int action) override;
    bool StopRequested() const override { return stopAtCall_ > 0 && calls >= stopAtCall_; }
    void RequestStopNow() { stopAtCall_ = std::max(1, calls); }

    int calls = 0;
    QList<std::pair<int, int>> history;

private:
    int stopAtCall_;
};

// Opens the tariff database as a run does; fails the test when it cannot.
std::unique_ptr<SqliteConnection> OpenForRun(const QString &path, int busyTimeoutMs = kDefaultBusyTimeoutMs);

// The rows a query gives on `connection`, inside its transaction: each row
// as one text with the columns joined by "|", Null as "NULL", numbers in
// their shortest form (0.1, 1). Fails the test on an error.
QStringList QueryRows(const SqliteConnection &connection, const QString &sql);
// The first column of the first row, as the engine stored it; invalid for
// Null or no row.
QVariant QueryValue(const SqliteConnection &connection, const QString &sql);

// A temporary folder with a real SQLite tariff database in it. Reads and
// writes go through a connection of their own, as another program's would.
class TempTariff {
public:
    TempTariff();
    const QString &Path() const { return path_; }
    QString FilePath(const QString &name) const { return dir_.filePath(name); }
    QString WriteFile(const QString &name, const QByteArray &content) const;
    // Puts a writable copy of the sample tariff (data/sample) in place of the
    // empty one; false when the copy failed.
    bool CopySample() const;

    // Runs statements on the tariff; fails the test on an error.
    void Execute(const QString &sql) const;
    // Each row as one text with the columns joined by "|" (Null as "NULL").
    QStringList Rows(const QString &sql) const;
    static QStringList RowsOf(const QString &databasePath, const QString &sql);
    // A digest of the whole database content, to prove it unchanged.
    QString Snapshot() const { return SnapshotOf(path_); }
    static QString SnapshotOf(const QString &databasePath);
    QByteArray FileBytes() const;

    // Adds a row to Numbers: number, name, selling price, purchase price (an
    // invalid QVariant is Null).
    void AddNumber(const QString &number, const QString &name, const QVariant &priceEur,
                   const QVariant &rateEk) const;

private:
    QTemporaryDir dir_;
    QString path_;
};

} // namespace preisliste::test

namespace preisliste::test {

// Makes a file read-only for the life of the object: by its mode bits, and
// for root, who writes past those, with the immutable attribute.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(QString path);
    ~ReadOnlyFile();
    bool Active() const { return active_; }

private:
    QString path_;
    bool immutable_ = false;
    bool active_ = false;
};

// Keeps anyone from creating files in a folder for the life of the object,
// in the same two ways.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(QString path);
    ~ReadOnlyFolder();

private:
    QString path_;
    bool immutable_ = false;
};

} // namespace preisliste::test

namespace preisliste::test {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built program (PREISLISTE_BINARY) with `arguments`, no standard
// input, in `workingDirectory` when given, with extra environment entries
// ("NAME=value"; a bare "NAME" removes the variable).
CliResult RunCli(const QStringList &arguments, const QString &workingDirectory = {},
                 const QStringList &environment = {});

} // namespace preisliste::test

namespace preisliste::test {

// A large, realistic pair for end-to-end runs: a tariff of `rows` rows in the
// database at `path` (which must hold an empty tariff) and a price list of
// `lines` data lines in server form that overlaps it by name and prefix, with
// changed purchase prices, new destinations and dropped ones.
void FillLargeTariff(const QString &path, int rows);
QByteArray LargePriceList(int lines);

} // namespace preisliste::test
