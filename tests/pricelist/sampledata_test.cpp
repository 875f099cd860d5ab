// The bundled sample data (data/sample) is what README's main job runs on:
// a tariff as the program creates it and a price list the import takes whole.

#include "pricelist/stagingimport.h"

#include "common/telvorosettings.h"
#include "common/textdecoding.h"
#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "db/tariffdatabase.h"
#include "run/updaterun.h"
#include "support/testsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <cmath>

namespace preisliste::test {
namespace {

constexpr int kHeaderLines = 5;

QByteArray SampleList()
{
    QFile file(kSampleDir + QStringLiteral("/preise.csv"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return file.readAll();
}

QStringList DataLines()
{
    QStringList lines = QString::fromUtf8(SampleList()).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.takeLast(), QString()); // the file ends with a line end
    return lines.mid(kHeaderLines);
}

// A scratch copy of the sample tariff, opened by its own connection.
class SampleTariff {
public:
    SampleTariff()
    {
        EXPECT_TRUE(scratch_.CopySample());
    }
    const TempTariff &Tariff() const { return scratch_; }

private:
    TempTariff scratch_;
};

TEST(SampleData, TariffHasTheNumbersTableAsTheProgramCreatesIt)
{
    SampleTariff sample;
    EXPECT_EQ(sample.Tariff().Rows(QStringLiteral("SELECT sql FROM sqlite_master")),
              QStringList{kCreateNumbersStatement});
}

TEST(SampleData, TariffHoldsAFewHundredDistinctPrefixesInTheTariffsForms)
{
    SampleTariff sample;
    const QStringList numbers = sample.Tariff().Rows(QStringLiteral("SELECT Number FROM Numbers"));
    EXPECT_GE(numbers.size(), 200);
    EXPECT_LE(numbers.size(), 600);
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), numbers.size());
    int international = 0, national = 0, withoutZero = 0;
    for (const QString &number : numbers) {
        ASSERT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+$")).match(number).hasMatch()) << number.toStdString();
        ASSERT_FALSE(number.startsWith(QLatin1String("0049"))) << "national numbers carry a single 0";
        number.startsWith(QLatin1String("00")) ? ++international
                                               : number.startsWith(u'0') ? ++national : ++withoutZero;
    }
    EXPECT_GE(international, 150);
    EXPECT_GE(national, 20);
    EXPECT_GE(withoutZero, 3);
    for (const char *name : {"Österreich", "Türkei Mobil", "Deutschland Mobil", "München"})
        EXPECT_FALSE(sample.Tariff().Rows(QStringLiteral("SELECT 1 FROM Numbers WHERE Name = '%1'")
                                              .arg(QString::fromUtf8(name))).isEmpty()) << name;
}

// Selling prices are the purchase price with 19 % VAT and 60 % on top, up to
// whole cents, except where the operator set them by hand (IsEdited) or
// Telvoro holds none yet.
TEST(SampleData, SellingPricesFollowTheShopsRuleOrWereSetByHand)
{
    SampleTariff sample;
    const QStringList rows = sample.Tariff().Rows(
        QStringLiteral("SELECT Number, Rate_EK, Price_EUR, IsEdited FROM Numbers WHERE Price_EUR IS NOT NULL"));
    int byRule = 0, byHand = 0;
    for (const QString &row : rows) {
        const QStringList columns = row.split(u'|');
        const double rate = columns[1].toDouble();
        const double price = columns[2].toDouble();
        if (columns[3] == QLatin1String("1")) {
            ++byHand;
            continue;
        }
        const double rule = std::ceil(std::round(rate * 10000) * 1.904 / 100 - 1e-9) / 100;
        // One destination's rows were priced a cent or two apart over time.
        EXPECT_TRUE(std::abs(price - rule) < 0.025) << row.toStdString();
        byRule += std::abs(price - rule) < 1e-9;
    }
    EXPECT_GE(byRule, 250);
    EXPECT_GE(byHand, 10);
    EXPECT_FALSE(sample.Tariff().Rows(QStringLiteral("SELECT 1 FROM Numbers WHERE Price_EUR IS NULL")).isEmpty());
}

TEST(SampleData, PriceListIsAServerFormFileInUtf8)
{
    const QByteArray content = SampleList();
    EXPECT_TRUE(IsValidUtf8(content));
    EXPECT_FALSE(HasUtf8Bom(content));
    const QStringList head = QString::fromUtf8(content).split(QStringLiteral("\r\n")).mid(0, kHeaderLines);
    ASSERT_EQ(head.size(), kHeaderLines);
    EXPECT_EQ(head[0], QStringLiteral("#kvtpricelist"));
    EXPECT_TRUE(head[1].startsWith(QLatin1String("List-ID: {")));
    EXPECT_TRUE(head[2].startsWith(QLatin1String("List-Sequence: ")));
    EXPECT_EQ(head[3], QStringLiteral("Effective: 01.03.2011 00:00"));
    EXPECT_EQ(head[4], QString());

    // International and German prefixes begin with 00, numbers without a
    // leading 0 with the marker 0111.
    const QRegularExpression dataLine(QStringLiteral("^(00|0111)[0-9]+;[^;]+;[0-9],[0-9]{4}$"));
    QSet<QString> prefixes;
    for (const QString &line : DataLines()) {
        ASSERT_TRUE(dataLine.match(line).hasMatch()) << line.toStdString();
        prefixes.insert(line.section(u';', 0, 0));
    }
    EXPECT_EQ(prefixes.size(), DataLines().size());
}

// The list meets the tariff in every way an update can: same names and
// prefixes, German numbers in the 0049 form, numbers without a leading 0
// behind the marker 0111, new destinations and networks, a sub-destination at
// its parent's price, and tariff destinations the list no longer has.
TEST(SampleData, PriceListOverlapsTheTariffByNameAndPrefix)
{
    SampleTariff sample;
    QSet<QString> tariffPrefixes, tariffNames;
    for (const QString &row : sample.Tariff().Rows(QStringLiteral("SELECT Number, Name FROM Numbers"))) {
        const QString number = row.section(u'|', 0, 0);
        tariffPrefixes.insert(number.startsWith(QLatin1String("00")) ? number
                              : number.startsWith(u'0')              ? QStringLiteral("0049") + number.mid(1)
                                                                     : QStringLiteral("0111") + number);
        tariffNames.insert(row.section(u'|', 1, 1));
    }
    QSet<QString> listPrefixes;
    QMap<QString, QString> priceOfName;
    int sameName = 0, newName = 0, samePrefix = 0, newPrefix = 0;
    for (const QString &line : DataLines()) {
        const QStringList fields = line.split(u';');
        listPrefixes.insert(fields[0]);
        priceOfName.insert(fields[1], fields[2]);
        tariffNames.contains(fields[1]) ? ++sameName : ++newName;
        tariffPrefixes.contains(fields[0]) ? ++samePrefix : ++newPrefix;
    }
    EXPECT_GE(sameName, 300);
    EXPECT_GE(newName, 30);
    EXPECT_GE(samePrefix, 350);
    EXPECT_GE(newPrefix, 15);
    EXPECT_TRUE(listPrefixes.contains(QStringLiteral("004930")));     // 030 Berlin
    EXPECT_FALSE(listPrefixes.contains(QStringLiteral("004989")));    // 089 München stays in the tariff
    EXPECT_TRUE(listPrefixes.contains(QStringLiteral("0111110")));    // 110
    EXPECT_TRUE(listPrefixes.contains(QStringLiteral("0111116116"))); // new
    EXPECT_FALSE(listPrefixes.contains(QStringLiteral("0053")));      // Kuba, gone from the list
    EXPECT_EQ(priceOfName.value(QStringLiteral("Österreich Mobil A1")),
              priceOfName.value(QStringLiteral("Österreich Mobil")));
    EXPECT_TRUE(priceOfName.contains(QStringLiteral("Türkei Mobil Turkcell")));
}

TEST(SampleData, ImportStagesExactlyTheDataLinesOfTheList)
{
    SampleTariff sample;
    RecordingMessages messages;
    ScriptedProgress progress;
    const auto connection = test::OpenForRun(sample.Tariff().Path());
    ASSERT_TRUE(connection);
    SqlTransaction transaction(*connection);
    ASSERT_TRUE(transaction.Begin());
    RunContext context{*connection, progress};
    ASSERT_TRUE(ImportPriceListFile(kSampleDir + QStringLiteral("/preise.csv"), context).IsDone());
    ASSERT_TRUE(transaction.Commit());
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'\n').toStdString();

    // Every data line but the one priced at 3 € or more, which is no call
    // destination and is named as skipped.
    QStringList expected;
    for (QString line : DataLines()) {
        if (!line.startsWith(QStringLiteral("00870;")))
            expected << line.replace(u',', u'.').replace(u';', u'|');
    }
    EXPECT_EQ(test::QueryRows(*connection, QStringLiteral(
                  "SELECT Vorwahl, Ziel, printf('%.4f', PreisEk) FROM Import2 ORDER BY rowid")),
              expected);
    EXPECT_EQ(test::QueryValue(*connection, QStringLiteral("SELECT count(*) FROM Import2")).toInt(),
              DataLines().size() - 1);
}

// README's main job: a whole update run on a copy of the sample tariff.
TEST(SampleData, UpdateRunCommitsOnTheSample)
{
    SampleTariff sample;
    const TelvoroSettings settings = TelvoroSettings::FromText(
        QStringLiteral("[Options]\nMwSt=19\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\n"));
    RunRequest request{.databaseFile = sample.Tariff().Path(),
                       .priceListFile = kSampleDir + QStringLiteral("/preise.csv"),
                       .source = PriceListSource::LocalFile,
                       .customerId = {},
                       .rule = PricingRule(settings)};
    RecordingMessages messages;
    ScriptedProgress progress;
    EXPECT_EQ(RunUpdate(request, progress, messages), RunOutcome::Committed);
    for (const RecordedMessage &message : messages.messages)
        EXPECT_NE(message.icon, MessageIcon::Error) << message.text.toStdString();
    EXPECT_EQ(messages.Texts().value(messages.Texts().size() - 1), QStringLiteral("Fertig!"));
    EXPECT_GE(sample.Tariff().Rows(QStringLiteral("SELECT Number FROM Numbers")).size(), 200);
}

} // namespace
} // namespace preisliste::test
