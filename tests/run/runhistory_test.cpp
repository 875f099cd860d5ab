#include "run/updaterun.h"

#include "common/telvorosettings.h"
#include "history/updatehistory.h"
#include "support/testsupport.h"

#include <QCryptographicHash>
#include <QFileInfo>

namespace preisliste {
namespace {

using test::RecordingMessages;
using test::ScriptedProgress;
using test::TempTariff;

const QByteArray kList = "#kvtpricelist\nList-ID: 7\nList-Sequence: 3\n\n0043;\xC3\x96sterreich;0,03\n"
                         "004930;Berlin;0,01\n";

RunRequest Request(const QString &database, const QString &file)
{
    return RunRequest{.databaseFile = database,
                      .priceListFile = file,
                      .source = PriceListSource::LocalFile,
                      .customerId = {},
                      .rule = PricingRule(TelvoroSettings::FromText(QStringLiteral("[Options]\nMwSt=19\n"))),
                      .busyTimeoutMs = 100,
                      .maxRemovedPercent = 100.0};
}

QString NoticeText(const RecordingMessages &messages, const QString &title)
{
    for (const test::RecordedMessage &message : messages.messages)
        if (message.title == title)
            return message.text;
    return {};
}

// The figures the history keeps are those the operator was shown.
TEST(RunHistory, TheReportCarriesTheFiguresOfTheNoticesAndTheListsIdentity)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.2, 0.1);
    const QString file = tariff.WriteFile(QStringLiteral("preise.csv"), kList);
    RecordingMessages messages;
    ScriptedProgress progress;
    RunReport report;
    ASSERT_EQ(RunUpdate(Request(tariff.Path(), file), progress, messages, &report), RunOutcome::Committed);

    ASSERT_TRUE(report.mergeStatistics && report.repricedRows);
    const MergeStatistics &merge = *report.mergeStatistics;
    EXPECT_TRUE(NoticeText(messages, kUpdateInfoTitle)
                    .endsWith(QStringLiteral("Identischer Name: %1\r\nIdentischer Prefix: %2\r\nNeuer Prefix: %3\r\n"
                                             "Neue Subdestination: %4\r\nGanz neue Destinationen: %5")
                                  .arg(merge.sameName)
                                  .arg(merge.samePrefix)
                                  .arg(merge.newPrefix)
                                  .arg(merge.newSubdestination)
                                  .arg(merge.newDestinations)));
    EXPECT_EQ(merge.sameName + merge.samePrefix + merge.newPrefix + merge.newSubdestination + merge.newDestinations, 2);
    EXPECT_TRUE(NoticeText(messages, QStringLiteral("Neuberechnung"))
                    .contains(QStringLiteral("\r\n%1 of 2 records updated.").arg(*report.repricedRows)));
    EXPECT_EQ(report.listId, QStringLiteral("7"));
    EXPECT_EQ(report.listSequence, 3);
    EXPECT_EQ(report.listSha256, QString::fromLatin1(QCryptographicHash::hash(kList, QCryptographicHash::Sha256).toHex()));

    QString error;
    const std::optional<HistoryRecord> recorded = LastAppliedList(tariff.Path(), error);
    ASSERT_TRUE(recorded) << error.toStdString();
    EXPECT_EQ(recorded->repriced, report.repricedRows);
    EXPECT_EQ(recorded->changes->added, report.changes->counts.added);
    EXPECT_EQ(recorded->sourceFile, QFileInfo(file).absoluteFilePath());
    EXPECT_LE(recorded->started, recorded->ended);
}

TEST(RunHistory, AFailedRunIsRecordedWithWhatTheOperatorWasTold)
{
    TempTariff tariff;
    RecordingMessages messages;
    ScriptedProgress progress;
    ASSERT_EQ(RunUpdate(Request(tariff.Path(), tariff.FilePath(QStringLiteral("fehlt.csv"))), progress, messages),
              RunOutcome::Failed);
    QString error;
    const std::optional<QList<HistoryRecord>> records = ReadHistory(tariff.Path(), 0, error);
    ASSERT_TRUE(records && records->size() == 1) << error.toStdString();
    const HistoryRecord &failed = records->constFirst();
    EXPECT_EQ(failed.outcome, HistoryOutcome::Failed);
    EXPECT_FALSE(failed.message.isEmpty());
    for (const test::RecordedMessage &message : messages.messages) {
        if (message.icon == MessageIcon::Error) {
            EXPECT_TRUE(failed.message.contains(message.text)) << message.text.toStdString();
        }
    }
    EXPECT_FALSE(failed.merge || failed.repriced || failed.changes);
}

TEST(RunHistory, ARunOnADatabaseThatIsNotThereLeavesNoFolderBehind)
{
    TempTariff tariff;
    const QString missing = tariff.FilePath(QStringLiteral("woanders/Numbers.mdb"));
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(Request(missing, tariff.WriteFile(QStringLiteral("preise.csv"), kList)), progress, messages),
              RunOutcome::Failed);
    EXPECT_FALSE(QFileInfo::exists(tariff.FilePath(QStringLiteral("woanders"))));
}

} // namespace
} // namespace preisliste
