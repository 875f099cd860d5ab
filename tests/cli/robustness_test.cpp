// The tariff survives what happens to a running update: the process killed
// at any moment, another program reading or writing the same file.
#include "support/testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <sqlite3.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <random>
#include <thread>

namespace preisliste {
namespace {

using test::TempTariff;

constexpr int kRows = 100000;

QStringList UpdateArguments(const QString &database, const QString &list)
{
    // The generated list drops some of the tariff's destinations on purpose.
    return {QStringLiteral("update"), QStringLiteral("--db"), database, QStringLiteral("--file"), list,
            QStringLiteral("--no-backup"), QStringLiteral("--settings"), QStringLiteral("/nonexistent.ini"),
            QStringLiteral("--max-removed"), QStringLiteral("100")};
}

// A large tariff and list, plus the state a completed update leaves.
class LargeUpdate : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixture_ = new TempTariff;
        test::FillLargeTariff(fixture_->Path(), kRows);
        list_ = fixture_->WriteFile(QStringLiteral("preise.csv"), test::LargePriceList(kRows));
        oldState_ = fixture_->Snapshot();
        const QString reference = fixture_->FilePath(QStringLiteral("reference.mdb"));
        QFile::copy(fixture_->Path(), reference);
        QElapsedTimer timer;
        timer.start();
        const auto result = test::RunCli(UpdateArguments(reference, list_));
        duration_ = timer.elapsed();
        newState_ = TempTariff::SnapshotOf(reference);
        if (result.exitCode != 0 || newState_ == oldState_)
            setUpFailure_ = QStringLiteral("the reference update failed (%1): %2").arg(result.exitCode).arg(result.err);
    }
    // A failure in SetUpTestSuite would only skip the tests; here it fails each.
    void SetUp() override
    {
        if (!setUpFailure_.isEmpty())
            FAIL() << setUpFailure_.toStdString();
    }
    static void TearDownTestSuite() { delete fixture_; }

    // A fresh copy of the old tariff to run on.
    static QString FreshCopy()
    {
        const QString work = fixture_->FilePath(QStringLiteral("work.mdb"));
        QFile::remove(work);
        QFile::remove(work + QStringLiteral("-journal"));
        QFile::copy(fixture_->Path(), work);
        return work;
    }

    static inline TempTariff *fixture_ = nullptr;
    static inline QString list_;
    static inline QString oldState_;
    static inline QString newState_;
    static inline qint64 duration_ = 0;
    static inline QString setUpFailure_;
};

TEST_F(LargeUpdate, KilledAtTwentyRandomMomentsTheTariffIsWholeOldOrWholeNew)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<qint64> moment(0, duration_ + duration_ / 5);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 20; ++round) {
        const QString work = FreshCopy();
        const qint64 delay = moment(random);
        SCOPED_TRACE(QStringLiteral("killed after %1 ms").arg(delay).toStdString());
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(qEnvironmentVariable("PREISLISTE_BINARY"), UpdateArguments(work, list_));
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(delay));
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();

        EXPECT_EQ(TempTariff::RowsOf(work, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
        const QString state = TempTariff::SnapshotOf(work);
        EXPECT_TRUE(state == oldState_ || state == newState_);
        sawOld += state == oldState_;
        sawNew += state == newState_;
    }
    RecordProperty("old", sawOld);
    RecordProperty("new", sawNew);
}

// systemd stops a service with SIGTERM, a closed terminal sends SIGHUP: both
// end a run as Ctrl+C does, rolled back and said so, never killed mid-way.
TEST_F(LargeUpdate, TermHangupAndInterruptRollBackWithAMessage)
{
    const QByteArray oldBytes = fixture_->FileBytes();
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        const QString work = FreshCopy();
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(qEnvironmentVariable("PREISLISTE_BINARY"), UpdateArguments(work, list_));
        ASSERT_TRUE(process.waitForStarted());
        // The journal appears with the update's first write inside its transaction.
        const QString journal = work + QStringLiteral("-journal");
        while (!QFileInfo::exists(journal) && process.state() == QProcess::Running)
            QThread::msleep(2);
        ASSERT_EQ(process.state(), QProcess::Running) << "the update ended before it could be stopped";
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));

        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(process.readAllStandardError().contains("Abgebrochen: Die Datenbank ist unverändert."));
        EXPECT_FALSE(QFileInfo::exists(journal));
        QFile file(work);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == oldBytes) << "the tariff file is not byte for byte the old one";
    }
}

// Aggregates that tell the old tariff from the new one without reading it all.
QString Digest(sqlite3 *handle, bool &busy)
{
    sqlite3_stmt *statement = nullptr;
    QString digest;
    if (sqlite3_prepare_v2(handle, "SELECT count(*), total(Price_EUR), total(Rate_EK), max(Number) FROM Numbers", -1,
                           &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < 4; ++i)
            digest += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, i))) + u'|';
    } else {
        busy = true;
    }
    sqlite3_finalize(statement);
    return digest;
}

TEST_F(LargeUpdate, AReaderSeesTheWholeOldOrTheWholeNewTariffThroughout)
{
    const QString work = FreshCopy();
    sqlite3 *reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(work.toUtf8().constData(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(reader, 10000);
    bool busy = false;
    const QString oldDigest = Digest(reader, busy);

    std::atomic<bool> done{false};
    QStringList seen;
    bool readerFailed = false;
    std::thread reading([&] {
        while (!done.load()) {
            const QString digest = Digest(reader, readerFailed);
            if (seen.isEmpty() || seen.last() != digest)
                seen << digest;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const auto result = test::RunCli(UpdateArguments(work, list_));
    done = true;
    reading.join();
    const QString newDigest = Digest(reader, busy);
    sqlite3_close(reader);

    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_FALSE(readerFailed) << "a read failed during the update";
    EXPECT_EQ(seen.value(0), oldDigest);
    EXPECT_EQ(seen.last(), newDigest);
    EXPECT_LE(seen.size(), 2) << seen.join(u'\n').toStdString(); // never a state in between
    EXPECT_EQ(TempTariff::SnapshotOf(work), newState_);
}

TEST_F(LargeUpdate, AnotherWriterDuringTheUpdateCorruptsNothing)
{
    const QString work = FreshCopy();
    std::atomic<bool> done{false};
    std::atomic<int> written{0};
    std::thread writing([&] {
        sqlite3 *writer = nullptr;
        sqlite3_open_v2(work.toUtf8().constData(), &writer, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(writer, 20000);
        for (int n = 0; !done.load() && n < 1000; ++n) {
            const QByteArray insert = "BEGIN IMMEDIATE; INSERT INTO Numbers (Number, Name) VALUES ('X" + QByteArray::number(n)
                                      + "', 'Telvoro'); COMMIT;";
            if (sqlite3_exec(writer, insert.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                ++written;
            else
                sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sqlite3_close(writer);
    });
    QThread::msleep(30); // let the writer get going first
    const auto result = test::RunCli(UpdateArguments(work, list_));
    QThread::msleep(30);
    done = true;
    writing.join();

    EXPECT_GT(written.load(), 0);
    EXPECT_EQ(TempTariff::RowsOf(work, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    // Without the other program's rows the tariff is the old or the new one, whole.
    TempTariff::RowsOf(work, QStringLiteral("DELETE FROM Numbers WHERE Number LIKE 'X%'"));
    const QString state = TempTariff::SnapshotOf(work);
    if (result.exitCode == 0)
        EXPECT_EQ(state, newState_);
    else
        EXPECT_EQ(state, oldState_) << result.err.toStdString();
}

} // namespace
} // namespace preisliste
