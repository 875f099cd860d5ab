#include "mergefixture.h"
#include "common/stageresult.h"

#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "merge/merge.h"
#include "pricelist/stagingimport.h"

#include <QVariant>

namespace preisliste::test {

namespace {

QString Literal(const QString &text)
{
    if (text.isNull())
        return QStringLiteral("NULL");
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

} // namespace

void StageRows(SqliteConnection &connection, const std::vector<StagedRow> &rows)
{
    ASSERT_TRUE(connection.Exec(QStringLiteral("DROP TABLE IF EXISTS temp.Import2"))) << connection.Error().toStdString();
    ASSERT_TRUE(connection.Exec(kCreateImport2Statement)) << connection.Error().toStdString();
    for (const StagedRow &row : rows) {
        ASSERT_TRUE(connection.Exec(QStringLiteral("INSERT INTO Import2 (Vorwahl, Ziel, PreisEk) VALUES (%1, %2, %3)")
                                        .arg(Literal(row.prefix), Literal(row.name),
                                             row.purchase.isNull() ? QStringLiteral("NULL") : row.purchase)))
            << connection.Error().toStdString();
    }
}

void MergeFixture::Stage(const std::vector<StagedRow> &rows)
{
    staged = rows;
}

std::unique_ptr<SqliteConnection> MergeFixture::OpenStaged() const
{
    auto connection = test::OpenForRun(tariff.Path());
    if (connection) {
        StageRows(*connection, staged);
    } else {
        ADD_FAILURE() << "cannot open the tariff";
    }
    return connection;
}

void MergeFixture::UseMinRate(double euros)
{
    rule.UseMinSellRate = true;
    rule.MinSellRateValue = Currency::FromDouble(euros);
}

bool MergeFixture::Merge(const QString &afterStaging)
{
    const auto connection = OpenStaged();
    if (!connection)
        return false;
    SqlTransaction transaction(*connection);
    EXPECT_TRUE(transaction.Begin());
    if (!afterStaging.isEmpty()) {
        EXPECT_TRUE(connection->Exec(afterStaging)) << connection->Error().toStdString();
    }
    RunContext context{*connection, progress};
    // What the operator would see, as a run shows it: the run also turns an
    // amount out of range, thrown from a statement, into a failure.
    StageResult result;
    try {
        result = MergePriceList(rule, context);
    } catch (const std::exception &error) {
        result = StageResult::FromException(error);
    }
    TellOperator(result, messages);
    const bool merged = result.IsDone();
    if (merged)
        EXPECT_TRUE(transaction.Commit());
    else
        transaction.Rollback();
    return merged;
}

QStringList MergeFixture::Tariff() const
{
    return tariff.Rows(QStringLiteral("SELECT Number, Name, Price_EUR, Rate_EK FROM Numbers ORDER BY Number, Name"));
}

QStringList MergeFixture::TariffOf(const QString &number) const
{
    return tariff.Rows(QStringLiteral("SELECT Number, Name, Price_EUR, Rate_EK FROM Numbers WHERE Number = %1 "
                                      "ORDER BY Name").arg(Literal(number)));
}

QString MergeFixture::Statistics() const
{
    QStringList texts;
    for (const RecordedMessage &message : messages.messages) {
        if (message.title == kUpdateInfoTitle)
            texts << message.text;
    }
    EXPECT_EQ(texts.size(), 1) << messages.Texts().join(u'\n').toStdString();
    return texts.value(0);
}

QString MergeFixture::StatisticsLine(const QString &caption) const
{
    for (const QString &line : Statistics().split(QStringLiteral("\r\n"))) {
        if (line.startsWith(caption))
            return line;
    }
    return QString();
}

PhaseRunner::PhaseRunner(const MergeFixture &fixture, const PricingRule &rule, ProgressSink &progress,
                         MessageSink &messages)
    : connection_(fixture.OpenStaged()), messages_(messages)
{
    if (!connection_)
        return;
    context_ = std::make_unique<RunContext>(RunContext{*connection_, progress});
    if (auto merge = CreateMergeContext(rule, *context_))
        merge_ = std::make_unique<MergeContext>(*merge);
}

PhaseRunner::~PhaseRunner() = default;

bool PhaseRunner::PriceStagedRows()
{
    if (!merge_)
        return false;
    for (const auto phase : {CleanUpBeforeMerge, PrepareNameLookup, PrepareStagedRows, CarryOverSellingPrices,
                             PriceByDestinationVote, PriceByParentName, PriceNewDestinations}) {
        const StageResult result = phase(*merge_);
        if (!result.IsDone()) {
            TellOperator(result, messages_); // what the operator would read, for the test's message
            return false;
        }
    }
    return true;
}

QStringList PhaseRunner::Staged() const
{
    return QueryRows(*connection_,
                     QStringLiteral("SELECT Vorwahl, Ziel, VkPreis, ImportState, OldName FROM Import2 ORDER BY rowid"));
}

QStringList PhaseRunner::Rows(const QString &sql) const
{
    return QueryRows(*connection_, sql);
}

} // namespace preisliste::test
