#include "run/updaterun.h"

#include "common/telvorosettings.h"
#include "support/testsupport.h"

#include <sqlite3.h>

namespace preisliste {
namespace {

using test::RecordingMessages;
using test::ScriptedProgress;
using test::TempTariff;

const QByteArray kList = "#kvtpricelist\nList-ID: 7\n\n0043;\xC3\x96sterreich;0,03\n004930;Berlin;0,01\n";

RunRequest Request(const TempTariff &tariff, PriceListSource source, const QString &file)
{
    return RunRequest{.databaseFile = tariff.Path(),
                      .priceListFile = file,
                      .source = source,
                      .customerId = {},
                      .rule = PricingRule(TelvoroSettings::FromText(QStringLiteral("[Options]\nMwSt=19\n"))),
                      .busyTimeoutMs = 100};
}

TEST(RunUpdate, CommitsAndSaysFertig)
{
    TempTariff tariff;
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), kList);
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(Request(tariff, PriceListSource::LocalFile, file), progress, messages), RunOutcome::Committed);
    ASSERT_FALSE(messages.messages.isEmpty());
    EXPECT_EQ(messages.messages.last().text, QStringLiteral("Fertig!"));
    EXPECT_EQ(messages.messages.last().icon, MessageIcon::Information);
    EXPECT_EQ(progress.history.last().first, 100);
    EXPECT_EQ(progress.history.last().second, -1);
}

TEST(RunUpdate, StopAtAnyProgressCallLeavesTheDatabaseAsItWas)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), kList);
    const QString before = tariff.Snapshot();
    ScriptedProgress counting;
    RecordingMessages ignored;
    {
        TempTariff scratch; // count the progress calls of a whole run on a copy
        scratch.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
        ASSERT_EQ(RunUpdate(Request(scratch, PriceListSource::LocalFile, file), counting, ignored),
                  RunOutcome::Committed);
    }
    // The final call after the commit sets the bar to 100 and cannot stop.
    for (int stopAt = 1; stopAt < counting.calls; ++stopAt) {
        SCOPED_TRACE(stopAt);
        RecordingMessages messages;
        ScriptedProgress progress(stopAt);
        EXPECT_EQ(RunUpdate(Request(tariff, PriceListSource::LocalFile, file), progress, messages),
                  RunOutcome::Stopped);
        EXPECT_FALSE(messages.Texts().contains(QStringLiteral("Fertig!")));
        EXPECT_EQ(tariff.Snapshot(), before);
    }
}

TEST(RunUpdate, RejectedListRollsBackWithTheImportsMessagesOnly)
{
    TempTariff tariff;
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), "Vorwahl;Ziel\n1;a;1\n");
    const QString before = tariff.Snapshot();
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(Request(tariff, PriceListSource::LocalFile, file), progress, messages), RunOutcome::Failed);
    EXPECT_EQ(messages.Texts().value(0), QStringLiteral("Falsche Datei"));
    EXPECT_EQ(messages.Texts().size(), 2);
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(RunUpdate, DatabaseThatCannotBeOpenedEndsTheRunAtOnce)
{
    TempTariff folder;
    RunRequest request = Request(folder, PriceListSource::None, {});
    request.databaseFile = folder.FilePath(QStringLiteral("fehlt.mdb"));
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(request, progress, messages), RunOutcome::Failed);
    EXPECT_EQ(messages.Texts(), QStringList{QStringLiteral("Datenbank ") + request.databaseFile
                                            + QStringLiteral(" konnte nicht geöffnet werden!\n"
                                                             "Die Datei gibt es nicht. Bitte den Pfad prüfen.")});
    EXPECT_EQ(progress.calls, 0);
}

TEST(RunUpdate, AnotherProgramsWriteTransactionFailsTheRunClearly)
{
    TempTariff tariff;
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), kList);
    sqlite3 *other = nullptr;
    sqlite3_open(tariff.Path().toUtf8().constData(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO Numbers (Number) VALUES ('9');", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(Request(tariff, PriceListSource::LocalFile, file), progress, messages), RunOutcome::Failed);
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts().first().contains(QStringLiteral("anderen Programm")));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT count(*) FROM Numbers")), QStringList{"0"});
}

TEST(RunUpdate, WithoutSourceNothingIsImported)
{
    TempTariff tariff;
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(Request(tariff, PriceListSource::None, QStringLiteral("/nonexistent.csv")), progress,
                        messages),
              RunOutcome::Committed);
    EXPECT_TRUE(tariff.Rows(QStringLiteral("SELECT name FROM sqlite_master WHERE name = 'Import2'")).isEmpty());
}

// The progress calls of one run, cut where the action value falls back: each
// piece is one stage. The closing call that only sets the overall value
// belongs to none.
QList<QList<std::pair<int, int>>> StagesOf(const QList<std::pair<int, int>> &history)
{
    QList<QList<std::pair<int, int>>> stages;
    int previousAction = -1;
    for (const auto &call : history) {
        if (call.second < 0)
            continue;
        if (stages.isEmpty() || call.second < previousAction)
            stages.append(QList<std::pair<int, int>>{});
        stages.last().append(call);
        previousAction = call.second;
    }
    return stages;
}

TEST(RunUpdateProgress, OverallOnlyMovesForwardAndEachStageRunsItsActionFromZeroToHundred)
{
    struct Case {
        const char *name;
        PriceListSource source;
        bool backupFirst;
        QList<StageShare> stages;
    };
    const Case cases[] = {
        {"list with backup", PriceListSource::LocalFile, true,
         {kBackupShare, kNameLookupShare, kImportShare, kMergeShare, kRecalculationShare, kReportShare}},
        {"list without backup", PriceListSource::LocalFile, false,
         {kNameLookupShare, kImportShare, kMergeShare, kRecalculationShare, kReportShare}},
        {"no list", PriceListSource::None, true, {kBackupShare, kRecalculationShare, kReportShare}},
    };
    for (const Case &run : cases) {
        SCOPED_TRACE(run.name);
        TempTariff tariff;
        tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
        tariff.AddNumber(QStringLiteral("0044"), QStringLiteral("UK"), 0.2, 0.1);
        RunRequest request = Request(tariff, run.source, tariff.WriteFile(QStringLiteral("preise.csv"), kList));
        request.backupFirst = run.backupFirst;
        request.maxRemovedPercent = 100; // the list drops a destination
        RecordingMessages messages;
        ScriptedProgress progress;
        ASSERT_EQ(RunUpdate(request, progress, messages), RunOutcome::Committed);

        for (qsizetype i = 1; i < progress.history.size(); ++i)
            EXPECT_LE(progress.history[i - 1].first, progress.history[i].first) << "call " << i;
        EXPECT_EQ(progress.history.last().first, 100);
        const auto stages = StagesOf(progress.history);
        ASSERT_EQ(stages.size(), run.stages.size());
        for (qsizetype s = 0; s < stages.size(); ++s) {
            const StageShare &share = run.stages[s];
            SCOPED_TRACE(share.name);
            EXPECT_EQ(stages[s].first(), std::make_pair(share.from, 0));
            EXPECT_EQ(stages[s].last(), std::make_pair(share.to, 100));
            for (const auto &[overall, action] : stages[s])
                EXPECT_TRUE(overall >= share.from && overall <= share.to) << overall << "/" << action;
        }
    }
}

} // namespace
} // namespace preisliste

namespace preisliste {
namespace {

TEST(RunUpdateBackup, TheStateBeforeTheRunIsBackedUpFirst)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.5, 0.1);
    const QStringList before = tariff.Rows(QStringLiteral("SELECT * FROM Numbers"));
    RunRequest request = Request(tariff, PriceListSource::None, {});
    request.rule.UseOnAll = true;
    RecordingMessages messages;
    ScriptedProgress progress;
    RunReport report;
    ASSERT_EQ(RunUpdate(request, progress, messages, &report), RunOutcome::Committed);
    EXPECT_NE(tariff.Rows(QStringLiteral("SELECT * FROM Numbers")), before);
    EXPECT_EQ(TempTariff::RowsOf(report.backupPath, QStringLiteral("SELECT * FROM Numbers")), before);

    request.backupFirst = false;
    RunReport withoutBackup;
    ASSERT_EQ(RunUpdate(request, progress, messages, &withoutBackup), RunOutcome::Committed);
    EXPECT_TRUE(withoutBackup.backupPath.isEmpty());
}

TEST(RunUpdateBackup, AFailedBackupFailsTheRunBeforeAnythingChanges)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.5, 0.1);
    tariff.WriteFile(QStringLiteral("backups"), "a file where the backup folder belongs");
    const QString before = tariff.Snapshot();
    RunRequest request = Request(tariff, PriceListSource::None, {});
    request.rule.UseOnAll = true;
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(request, progress, messages), RunOutcome::Failed);
    // The failure, then that the history cannot be kept where the folder belongs either.
    ASSERT_EQ(messages.Texts().size(), 2);
    EXPECT_TRUE(messages.Texts().first().startsWith(QStringLiteral("Die Sicherung der Datenbank")));
    EXPECT_TRUE(messages.Texts().last().startsWith(QStringLiteral("Der Verlauf ")));
    EXPECT_EQ(tariff.Snapshot(), before);
    // Only the backup's start was reported: no stage ran.
    EXPECT_EQ(progress.history, (QList<std::pair<int, int>>{{kBackupShare.from, 0}}));
}

} // namespace
} // namespace preisliste

namespace preisliste {
namespace {

// "Stopp" is pressed just after the name look-up reported the step before
// its first statement over the whole tariff (action 1), while that statement
// runs; counts the progress calls that still come after that.
class StopInsideAStatement : public ProgressSink {
public:
    bool SetProgress(int overall, int action) override
    {
        callsAfterStop += stop_;
        const bool answer = stop_;
        if (overall >= kNameLookupShare.from && overall < kNameLookupShare.to && action == 1)
            stop_ = true; // too late for this answer
        return answer;
    }
    bool StopRequested() const override { return stop_; }
    int callsAfterStop = 0;

private:
    bool stop_ = false;
};

TEST(RunUpdateStop, AStopInsideALongStatementEndsItAtOnce)
{
    TempTariff tariff;
    test::FillLargeTariff(tariff.Path(), 20000);
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), test::LargePriceList(20000));
    const QString before = tariff.Snapshot();
    StopInsideAStatement progress;
    RecordingMessages messages;
    EXPECT_EQ(RunUpdate(Request(tariff, PriceListSource::LocalFile, file), progress, messages), RunOutcome::Stopped);
    EXPECT_EQ(progress.callsAfterStop, 0) << "the statement ran on after the stop";
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.Texts().join(u'\n').toStdString();
    EXPECT_EQ(tariff.Snapshot(), before);
}

} // namespace
} // namespace preisliste
