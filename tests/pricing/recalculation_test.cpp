#include "common/telvorosettings.h"
#include "common/stageresult.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "db/tariffdatabase.h"
#include "pricing/recalculation.h"
#include "pricing/pricingrule.h"
#include "run/updaterun.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace preisliste {
namespace {

using test::RecordingMessages;
using test::ScriptedProgress;
using test::TempTariff;

PricingRule StandardRule()
{
    return PricingRule(TelvoroSettings::FromText(QStringLiteral(
        "[Options]\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\nMwSt=19\n")));
}

PricingRule RuleForAllRows()
{
    PricingRule rule = StandardRule();
    rule.UseOnAll = true;
    return rule;
}

QString CountText(int updated, int total)
{
    return QStringLiteral("Preisneuberechnung\r\n\r\n%1 of %2 records updated.").arg(updated).arg(total);
}

// One recalculation on its own connection and transaction, as a run does it.
struct Recalculation {
    explicit Recalculation(const TempTariff &tariff, int stopAtCall = 0) : progress(stopAtCall)
    {
        connection = test::OpenForRun(tariff.Path());
        EXPECT_TRUE(connection);
        transaction = std::make_unique<SqlTransaction>(*connection);
        EXPECT_TRUE(transaction->Begin());
    }

    bool Run(const PricingRule &rule)
    {
        RunContext context{*connection, progress};
        // What the operator would see, as a run shows it.
        const StageResult result = RecalculateSellingPrices(rule, context);
        TellOperator(result, messages);
        const bool ok = result.IsDone();
        if (ok)
            EXPECT_TRUE(transaction->Commit());
        else
            transaction->Rollback();
        return ok;
    }

    RecordingMessages messages;
    ScriptedProgress progress;
    std::unique_ptr<SqliteConnection> connection;
    std::unique_ptr<SqlTransaction> transaction;
};

QStringList Prices(const TempTariff &tariff)
{
    return tariff.Rows(QStringLiteral("SELECT Number, Price_EUR, Rate_EK FROM Numbers ORDER BY rowid"));
}

TEST(RecalculateSellingPrices, WritesChangedPricesAndCountsEveryRow)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("004930"), QStringLiteral("Berlin"), 0.23, 0.129);
    tariff.AddNumber(QStringLiteral("0041"), QStringLiteral("Schweiz"), 0.5, QVariant());
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), QVariant(), 0.129);
    tariff.AddNumber(QStringLiteral("0033"), QStringLiteral("Frankreich"), 0.25, 0.129);

    Recalculation recalculation(tariff);
    ASSERT_TRUE(recalculation.Run(RuleForAllRows()));

    EXPECT_EQ(Prices(tariff), (QStringList{
                                  QStringLiteral("004930|0.25|0.129"),
                                  QStringLiteral("0041|0.5|NULL"),  // no purchase price: untouched
                                  QStringLiteral("0043|0.25|0.129"), // Null price read as 0
                                  QStringLiteral("0033|0.25|0.129"), // already right: not written
                              }));
    ASSERT_EQ(recalculation.messages.messages.size(), 1);
    const auto &message = recalculation.messages.messages.constFirst();
    EXPECT_EQ(message.icon, MessageIcon::Information);
    EXPECT_EQ(message.title, QStringLiteral("Neuberechnung"));
    EXPECT_EQ(message.text, CountText(2, 4));
    EXPECT_EQ(recalculation.progress.history,
              (QList<std::pair<int, int>>{{0, 0}, {25, 25}, {50, 50}, {75, 75}, {100, 100}}));
}

TEST(RecalculateSellingPrices, NullPriceIsSelectedByThePriceAndProfitCriteriaOnly)
{
    struct Case {
        const char *name;
        void (*configure)(PricingRule &);
        const char *expectedPrice;
    };
    const Case cases[] = {
        {"margin criterion: margin of a zero price is 1", [](PricingRule &) {}, "NULL"},
        {"profit criterion", [](PricingRule &r) { r.SetUseOnMargin(false); r.UseOnProfit = true; }, "0.25"},
        {"price criterion",
         [](PricingRule &r) { r.SetUseOnMargin(false); r.UseMinSellRate = true; r.UseOnSellRate = true; }, "0.25"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempTariff tariff;
        tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), QVariant(), 0.129);
        PricingRule rule = StandardRule();
        c.configure(rule);
        Recalculation recalculation(tariff);
        ASSERT_TRUE(recalculation.Run(rule));
        EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT Price_EUR FROM Numbers")),
                  QStringList{QString::fromLatin1(c.expectedPrice)});
    }
}

TEST(RecalculateSellingPrices, NoCriterionMetWritesNothing)
{
    TempTariff tariff;
    // Margins 50 % and 40 %, above the default threshold of 37,5 %.
    tariff.AddNumber(QStringLiteral("0049"), QStringLiteral("Deutschland"), 0.307, 0.129);
    tariff.AddNumber(QStringLiteral("0044"), QStringLiteral("Großbritannien"), 0.2, 0.1008);
    tariff.AddNumber(QStringLiteral("0045"), QStringLiteral("Dänemark"), 0.2, QVariant());
    const QString before = tariff.Snapshot();

    Recalculation recalculation(tariff);
    ASSERT_TRUE(recalculation.Run(StandardRule()));
    EXPECT_EQ(tariff.Snapshot(), before);
    EXPECT_EQ(recalculation.messages.Texts(), QStringList{CountText(0, 3)});
    EXPECT_EQ(recalculation.progress.calls, 4);
}

TEST(RecalculateSellingPrices, EmptyTableSucceeds)
{
    TempTariff tariff;
    Recalculation recalculation(tariff);
    ASSERT_TRUE(recalculation.Run(RuleForAllRows()));
    EXPECT_EQ(recalculation.messages.Texts(), QStringList{CountText(0, 0)});
}

TEST(RecalculateSellingPrices, StopBeforeTheFirstRowTouchesNothing)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("004930"), QStringLiteral("Berlin"), 0.23, 0.129);
    const QString before = tariff.Snapshot();
    Recalculation recalculation(tariff, 1);
    EXPECT_FALSE(recalculation.Run(RuleForAllRows()));
    EXPECT_EQ(recalculation.progress.history, (QList<std::pair<int, int>>{{0, 0}}));
    EXPECT_TRUE(recalculation.messages.messages.isEmpty());
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(RecalculateSellingPrices, StopInTheMiddleOfARunRollsBackEveryPrice)
{
    TempTariff tariff;
    for (int i = 0; i < 5; ++i)
        tariff.AddNumber(QStringLiteral("00%1").arg(31 + i), QStringLiteral("Ziel %1").arg(i), 0.23, 0.129);
    const QString before = tariff.Snapshot();
    const PricingRule rule = RuleForAllRows();
    RunRequest request{.databaseFile = tariff.Path(), .rule = rule};
    RecordingMessages messages;
    ScriptedProgress progress(4); // the call after the third row

    EXPECT_EQ(RunUpdate(request, progress, messages), RunOutcome::Stopped);
    EXPECT_EQ(progress.calls, 4);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(RecalculateSellingPrices, RunWithoutSourceRepricesAndCommits)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("004930"), QStringLiteral("Berlin"), 0.23, 0.129);
    RunRequest request{.databaseFile = tariff.Path(), .rule = StandardRule()};
    RecordingMessages messages;
    ScriptedProgress progress;

    EXPECT_EQ(RunUpdate(request, progress, messages), RunOutcome::Committed);
    EXPECT_EQ(messages.Texts(), (QStringList{CountText(1, 1), QStringLiteral("Fertig!")}));
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT Price_EUR FROM Numbers")), QStringList{QStringLiteral("0.25")});
}

TEST(RecalculateSellingPrices, FailuresEndTheRunWithTheirCause)
{
    struct Case {
        const char *name;
        const char *setup;
        const char *message;
    };
    const Case cases[] = {
        {"purchase price as text",
         "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) VALUES ('0039', 'Italien', 0.2, 'billig')",
         "Fehler: Rate_EK „billig“ der Vorwahl 0039 ist keine Zahl."},
        {"selling price as text",
         "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) VALUES ('0039', 'Italien', '', 0.1)",
         "Fehler: Price_EUR „“ der Vorwahl 0039 ist keine Zahl."},
        {"purchase price beyond the currency range",
         "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) VALUES ('0039', 'Italien', 0.2, 1e15)",
         "Fehler: Überlauf bei einem Währungsbetrag (Vorwahl 0039)"},
        {"write refused by the database",
         "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) VALUES ('0039', 'Italien', 0.2, 0.1);"
         "CREATE TRIGGER NoPriceChange BEFORE UPDATE ON Numbers BEGIN SELECT RAISE(ABORT, 'Preise gesperrt'); END",
         "Fehler: Datenbankfehler (Preise gesperrt)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempTariff tariff;
        tariff.AddNumber(QStringLiteral("004930"), QStringLiteral("Berlin"), 0.23, 0.129);
        tariff.Execute(QString::fromUtf8(c.setup));
        const QString before = tariff.Snapshot();
        RunRequest request{.databaseFile = tariff.Path(), .rule = RuleForAllRows()};
        RecordingMessages messages;
        ScriptedProgress progress;

        EXPECT_EQ(RunUpdate(request, progress, messages), RunOutcome::Failed);
        ASSERT_EQ(messages.messages.size(), 1);
        EXPECT_EQ(messages.messages.constFirst().icon, MessageIcon::Error);
        EXPECT_EQ(messages.messages.constFirst().text, QString::fromUtf8(c.message));
        EXPECT_EQ(tariff.Snapshot(), before);
    }
}

TEST(RecalculateSellingPrices, IndexOnThePricesDoesNotMakeRowsCountTwice)
{
    TempTariff tariff;
    tariff.Execute(QStringLiteral("CREATE INDEX NumbersByPrice ON Numbers (Price_EUR, Rate_EK, Number)"));
    tariff.Execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) "
        "INSERT INTO Numbers (Number, Name, Price_EUR, Rate_EK) SELECT '00' || i, 'Ziel', 0.01, 0.129 FROM n"));
    Recalculation recalculation(tariff);
    ASSERT_TRUE(recalculation.Run(RuleForAllRows()));
    EXPECT_EQ(recalculation.messages.Texts(), QStringList{CountText(200, 200)});
    EXPECT_EQ(recalculation.progress.calls, 1 + 200); // each row visited once
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT DISTINCT Price_EUR FROM Numbers")),
              QStringList{QStringLiteral("0.25")});
}

TEST(RecalculateSellingPrices, FloorAmountIsWrittenExactly)
{
    TempTariff tariff;
    tariff.AddNumber(QStringLiteral("004930"), QStringLiteral("Berlin"), 0.23, 0.129);
    PricingRule rule = RuleForAllRows();
    rule.UseMinSellRate = true;
    rule.MinSellRateValue = Currency::FromUnits(2555);
    Recalculation recalculation(tariff);
    ASSERT_TRUE(recalculation.Run(rule));
    EXPECT_EQ(tariff.Rows(QStringLiteral("SELECT Price_EUR FROM Numbers")), QStringList{QStringLiteral("0.2555")});
}

} // namespace
} // namespace preisliste
