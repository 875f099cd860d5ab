#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace preisliste {
namespace {

using test::TempTariff;

// Runs the built program as an operator would, in the C locale (which the
// program reads as German) and without settings from the environment.
test::CliResult RunPreisliste(const QStringList &arguments)
{
    return test::RunCli(arguments, {}, {QStringLiteral("LC_ALL=C")});
}

// Three priced rows, one without a purchase price; gross purchase price of
// 0,129 is 0,1535, of 0,05 it is 0,0595.
void FillTariff(const TempTariff &tariff)
{
    tariff.AddNumber(QStringLiteral("004930"), QStringLiteral("Deutschland Berlin"), 0.23, 0.129);
    tariff.AddNumber(QStringLiteral("0043"), QStringLiteral("Österreich"), 0.09, 0.05);
    tariff.AddNumber(QStringLiteral("0041"), QStringLiteral("Schweiz"), 0.5, QVariant());
    tariff.AddNumber(QStringLiteral("0033"), QStringLiteral("Frankreich"), 0.25, 0.129);
}

QString Settings(const TempTariff &tariff)
{
    return tariff.WriteFile(QStringLiteral("Telvoro.ini"),
                            "[Options]\nRatingDefaultMargin=60\nMinimumRatePerMinute=0,10\nMwSt=19\n");
}

QStringList Prices(const TempTariff &tariff)
{
    return tariff.Rows(QStringLiteral("SELECT Number || '=' || Price_EUR FROM Numbers ORDER BY rowid"));
}

TEST(UpdateRecalculation, WithoutSourceRepricesEveryRowAndReportsTheCount)
{
    TempTariff tariff;
    FillTariff(tariff);
    const test::CliResult result =
        RunPreisliste({QStringLiteral("update"), QStringLiteral("--db"), tariff.Path(), QStringLiteral("--settings"),
                       Settings(tariff)});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    // 0,0595 x 1,6 = 0,0952 -> 0,10
    EXPECT_EQ(Prices(tariff), (QStringList{QStringLiteral("004930=0.25"), QStringLiteral("0043=0.1"),
                                           QStringLiteral("0041=0.5"), QStringLiteral("0033=0.25")}));
    EXPECT_TRUE(result.out.contains(QStringLiteral("[Neuberechnung]\nPreisneuberechnung\n\n2 of 4 records updated.")))
        << result.out.toStdString();
    // The last line names the backup of the state before the run.
    const QString backupLine = QStringLiteral("Fertig!\nSicherung des vorigen Stands: ") + tariff.FilePath("backups/");
    EXPECT_TRUE(result.out.contains(backupLine)) << result.out.toStdString();
    const QString backup = result.out.section(QStringLiteral("Sicherung des vorigen Stands: "), 1).section(u'\n', 0, 0);
    EXPECT_EQ(test::TempTariff::RowsOf(backup, QStringLiteral("SELECT Price_EUR FROM Numbers ORDER BY rowid")),
              (QStringList{"0.23", "0.09", "0.5", "0.25"}));
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
}

TEST(UpdateRecalculation, RuleOptionsPriceAsTheWindowsRuleWould)
{
    struct Case {
        QStringList options;
        QStringList prices;
        int updated;
    };
    const Case cases[] = {
        // Margin 50 %: 0,1535 x 2 = 0,3070 -> 0,31; 0,0595 x 2 = 0,1190 -> 0,12.
        {{"--mode", "margin", "--margin", "50%"}, {"004930=0.31", "0043=0.12", "0041=0.5", "0033=0.31"}, 3},
        // Fixed profit 0,02 only where the price is below 0,24, floor 0,10.
        {{"--mode", "profit", "--profit", "0,02", "--min-rate", "0,10", "--apply-to", "price-below=0,24"},
         {"004930=0.18", "0043=0.1", "0041=0.5", "0033=0.25"}, 2},
        // Without VAT every markup is below 100 %, and with rounding threshold 0
        // 0,129 x 1,6 = 0,2064 -> 0,21.
        {{"--vat", "0%", "--round-up", "0", "--apply-to", "markup-below=100%"},
         {"004930=0.21", "0043=0.08", "0041=0.5", "0033=0.21"}, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options.join(u' ').toStdString());
        TempTariff tariff;
        FillTariff(tariff);
        const test::CliResult result = RunPreisliste(QStringList{QStringLiteral("update"), QStringLiteral("--db"),
                                                           tariff.Path(), QStringLiteral("--settings"),
                                                           Settings(tariff)}
                                               + c.options);
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_EQ(Prices(tariff), c.prices);
        EXPECT_TRUE(result.out.contains(QStringLiteral("%1 of 4 records updated.").arg(c.updated)))
            << result.out.toStdString();
    }
}

TEST(UpdateRecalculation, RefusedOptionExitsWithUsageErrorAndChangesNothing)
{
    TempTariff tariff;
    FillTariff(tariff);
    const QString before = tariff.Snapshot();
    const test::CliResult result =
        RunPreisliste({QStringLiteral("update"), QStringLiteral("--db"), tariff.Path(), QStringLiteral("--settings"),
                       Settings(tariff), QStringLiteral("--margin"), QStringLiteral("100%")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains(QStringLiteral("--margin"))) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains(QStringLiteral("Neuberechnung")));
    EXPECT_EQ(tariff.Snapshot(), before);
}

TEST(UpdateRecalculation, MissingVatSettingWarnsAndPricesWith19Percent)
{
    TempTariff tariff;
    FillTariff(tariff);
    const QString settings = tariff.WriteFile(QStringLiteral("ohne-mwst.ini"), "[Options]\nRatingDefaultMargin=60\n");
    const test::CliResult result = RunPreisliste(
        {QStringLiteral("update"), QStringLiteral("--db"), tariff.Path(), QStringLiteral("--settings"), settings});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.err.contains(QStringLiteral("Warnung: Die Einstellung „MwSt“ fehlt"))) << result.err.toStdString();
    EXPECT_EQ(Prices(tariff).constFirst(), QStringLiteral("004930=0.25"));
}

TEST(UpdateRecalculation, HelpListsTheRuleOptions)
{
    const test::CliResult result = RunPreisliste({QStringLiteral("update"), QStringLiteral("--help")});
    EXPECT_EQ(result.exitCode, 0);
    for (const char *option : {"--mode", "--markup", "--margin", "--profit", "--min-profit", "--min-rate", "--vat",
                               "--round-up", "--apply-to", "margin-below=PCT", "markup-below=PCT",
                               "profit-below=EUR", "price-below=EUR"})
        EXPECT_TRUE(result.out.contains(QString::fromLatin1(option))) << option;
}

} // namespace
} // namespace preisliste
