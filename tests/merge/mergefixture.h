#pragma once

#include "common/telvorosettings.h"
#include "db/runcontext.h"
#include "db/tariffdatabase.h"
#include "merge/merge.h"
#include "pricing/pricingrule.h"
#include "support/testsupport.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace preisliste::test {

// A staged price-list row as the import leaves it. A null QString stands for
// Null; `purchase` is an SQL literal ("0.05").
struct StagedRow {
    QString prefix;
    QString name;
    QString purchase;
};

// Creates the staging table Import2 on `connection` (it lives in the
// connection's temporary schema) and fills it with `rows`, in this order.
void StageRows(SqliteConnection &connection, const std::vector<StagedRow> &rows);

// A real tariff database with an old tariff in Numbers and a price list to
// stage in Import2, and the merge run on it through its own connection. The rule has
// the defaults: VAT 19 %, margin 37.5 % (factor 1.1944625), no minimum price.
class MergeFixture : public testing::Test {
protected:
    // The rows the next connection of the merge's kind finds in Import2.
    void Stage(const std::vector<StagedRow> &rows);
    void UseMinRate(double euros);

public:
    // A connection of the merge's kind with the staged rows in its Import2.
    std::unique_ptr<SqliteConnection> OpenStaged() const;

protected:
    // MergePriceList in a transaction that is committed when the merge
    // succeeds and rolled back otherwise; `afterStaging` runs first, inside
    // the transaction.
    bool Merge(const QString &afterStaging = QString());

    // Numbers as "Number|Name|Price_EUR|Rate_EK", sorted by number and name.
    QStringList Tariff() const;
    QStringList TariffOf(const QString &number) const;
    // The text of the one "Update Info" message.
    QString Statistics() const;
    // The one line of the statistics that starts with `caption`.
    QString StatisticsLine(const QString &caption) const;

    TempTariff tariff;
    RecordingMessages messages;
    ScriptedProgress progress;
    PricingRule rule{TelvoroSettings()};
    std::vector<StagedRow> staged;
};

// A connection of the merge's kind to the fixture's tariff, for running the
// phases one by one and looking at Import2 in between.
class PhaseRunner {
public:
    PhaseRunner(const MergeFixture &fixture, const PricingRule &rule, ProgressSink &progress, MessageSink &messages);
    ~PhaseRunner();
    // Runs the phases up to and including PriceNewDestinations.
    bool PriceStagedRows();
    // Import2 as "Vorwahl|Ziel|VkPreis|ImportState|OldName" in staging order.
    QStringList Staged() const;
    // The rows of any query on the run's connection, fields joined by '|'.
    QStringList Rows(const QString &sql) const;
    MergeContext &Merge() { return *merge_; }

private:
    std::unique_ptr<SqliteConnection> connection_;
    std::unique_ptr<RunContext> context_;
    std::unique_ptr<MergeContext> merge_;
    MessageSink &messages_;
};

} // namespace preisliste::test
