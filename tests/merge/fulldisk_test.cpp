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

struct FullDiskCase {
    const char *name;
    const char *schema; // whose pages run out: the working tables' or the tariff's
    int pagesLeft;
    int listLines; // against a tariff of 5000 rows
};

class FullDisk : public testing::TestWithParam<FullDiskCase> {};

// The disk fills up while the merge builds its working tables or writes the
// new tariff: the merge says so, and after the roll-back the tariff is as it
// was.
TEST_P(FullDisk, DuringTheMergeFailsClearlyAndChangesNothing)
{
    test::TempTariff tariff;
    test::FillLargeTariff(tariff.Path(), 5000);
    const QString list = tariff.WriteFile(QStringLiteral("preise.csv"), test::LargePriceList(GetParam().listLines));
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
        const QString schema = QString::fromLatin1(GetParam().schema);
        const int pages = test::QueryValue(*connection, QStringLiteral("PRAGMA %1.page_count").arg(schema)).toInt();
        ASSERT_TRUE(connection->Exec(
            QStringLiteral("PRAGMA %1.max_page_count = %2").arg(schema).arg(pages + GetParam().pagesLeft)));
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

// The tariff's own pages run out only when the new tariff needs more room
// than the old one had: here the list is longer than the tariff.
INSTANTIATE_TEST_SUITE_P(Where, FullDisk,
                         testing::Values(FullDiskCase{"WorkingTables", "temp", 4, 5000},
                                         FullDiskCase{"Tariff", "main", 0, 10000}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace preisliste
