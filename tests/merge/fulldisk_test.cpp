#include "common/telvorosettings.h"
#include "common/stageresult.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "db/tariffdatabase.h"
#include "merge/merge.h"
#include "pricelist/stagingimport.h"
#include "pricing/pricingrule.h"
#include "support/testsupport.h"

#include <QVariant>

namespace preisliste {
namespace {

// The disk fills up while the merge builds its working tables: the merge
// says so, and after the roll-back the tariff is as it was.
TEST(FullDisk, DuringTheMergeFailsClearlyAndChangesNothing)
{
    test::TempTariff tariff;
    test::FillLargeTariff(tariff.Path(), 5000);
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), test::LargePriceList(5000));
    const QString before = tariff.Snapshot();
    test::RecordingMessages messages;
    test::ScriptedProgress progress;
    {
        auto connection = test::OpenForRun(tariff.Path());
        ASSERT_TRUE(connection);
        SqlTransaction transaction(*connection);
        ASSERT_TRUE(transaction.Begin());
        RunContext context{*connection, progress};
        ASSERT_TRUE(ImportPriceListFile(list, context).IsDone());
        const int pages = test::QueryValue(*connection, QStringLiteral("PRAGMA page_count")).toInt();
        // Room for a few pages more: the copy of the tariff does not fit.
        ASSERT_TRUE(connection->Exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages + 4)));
        const PricingRule rule{TelvoroSettings()};
        const StageResult merged = MergePriceList(rule, context);
        EXPECT_TRUE(merged.IsFailed());
        TellOperator(merged, messages);
    }
    ASSERT_EQ(messages.Texts().size(), 1);
    EXPECT_TRUE(messages.Texts().first().startsWith(QStringLiteral("Fehler: Kein Platz mehr auf dem Datenträger")))
        << messages.Texts().first().toStdString();
    EXPECT_EQ(tariff.Snapshot(), before);
    EXPECT_EQ(tariff.Rows(QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
}

} // namespace
} // namespace preisliste
