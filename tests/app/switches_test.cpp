#include "windowtest.h"

namespace preisliste::test {
namespace {

const QString kSettings = QStringLiteral("[Options]\nDB Path=/srv/telvoro\nMwSt=19\nProviderAccountUserId=4711\n");

TEST(WindowSwitches, OptionButtonsChooseTheModeAndItsField)
{
    WindowDriver window(kSettings);
    struct Mode {
        const char *option;
        const char *openField;
        bool markup, margin, profit;
    };
    for (const Mode &m : {Mode{"optProfitMargin1", "txtMargin", false, true, false},
                          Mode{"optProfitMargin2", "txtProfit", false, false, true},
                          Mode{"optProfitMargin0", "txtMarkup", true, false, false}}) {
        SCOPED_TRACE(m.option);
        window.Click(QString::fromLatin1(m.option));
        for (const char *field : {"txtMarkup", "txtMargin", "txtProfit"})
            EXPECT_EQ(window.Enabled(QString::fromLatin1(field)), QString::fromLatin1(field) == QString::fromLatin1(m.openField))
                << field;
        const PricingRule &rule = window.Form().Rule();
        EXPECT_EQ(rule.UseMarkup, m.markup);
        EXPECT_EQ(rule.UseMargin, m.margin);
        EXPECT_EQ(rule.UseProfit, m.profit);
    }
}

TEST(WindowSwitches, ProfitModeClosesMinimumProfitButLeavesItInTheRule)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkMinProfit"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtMinProfit")));
    window.Click(QStringLiteral("optProfitMargin2"));
    EXPECT_FALSE(window.Enabled(QStringLiteral("chkMinProfit")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtMinProfit")));
    EXPECT_TRUE(window.Form().Rule().UseMinProfit);
    window.Click(QStringLiteral("optProfitMargin1"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("chkMinProfit")));
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtMinProfit")));
}

TEST(WindowSwitches, AllRowsOffOffersEveryCriterionWhateverTheFloors)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkUseOnAll"));
    EXPECT_FALSE(window.Form().Rule().UseOnAll);
    for (const char *box : {"chkUseOnMargin", "chkUseOnMarkup", "chkUseOnProfit", "chkUseOnSellRate"})
        EXPECT_TRUE(window.Enabled(QString::fromLatin1(box))) << box;
    // The rule's own margin criterion is in force although its box is unchecked.
    EXPECT_FALSE(window.Checked(QStringLiteral("chkUseOnMargin")));
    EXPECT_TRUE(window.Form().Rule().UseOnMargin());
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtUseOnMargin")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtUseOnSellRate")));

    // The next floor switch applies the floors again.
    window.Click(QStringLiteral("chkMinRate"));
    window.Click(QStringLiteral("chkMinRate"));
    EXPECT_FALSE(window.Enabled(QStringLiteral("chkUseOnSellRate")));
    window.Click(QStringLiteral("chkMinRate"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("chkUseOnSellRate")));
    window.Click(QStringLiteral("chkUseOnSellRate"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtUseOnSellRate")));
    EXPECT_TRUE(window.Form().Rule().UseOnSellRate);

    window.Click(QStringLiteral("chkUseOnAll"));
    for (const char *control : {"chkUseOnMargin", "chkUseOnMarkup", "chkUseOnProfit", "chkUseOnSellRate",
                                "txtUseOnMargin", "txtUseOnSellRate"})
        EXPECT_FALSE(window.Enabled(QString::fromLatin1(control))) << control;
}

TEST(WindowSwitches, MarginAndMarkupCriteriaExcludeEachOther)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkUseOnAll"));
    window.Click(QStringLiteral("chkUseOnMarkup"));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkUseOnMarkup")));
    EXPECT_TRUE(window.Form().Rule().UseOnMarkup());
    EXPECT_FALSE(window.Form().Rule().UseOnMargin());
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtUseOnMarkup")));

    window.Click(QStringLiteral("chkUseOnMargin"));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkUseOnMargin")));
    EXPECT_FALSE(window.Checked(QStringLiteral("chkUseOnMarkup")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtUseOnMarkup")));
    EXPECT_TRUE(window.Form().Rule().UseOnMargin());

    window.Click(QStringLiteral("chkUseOnMargin"));
    EXPECT_FALSE(window.Checked(QStringLiteral("chkUseOnMargin")));
    EXPECT_FALSE(window.Checked(QStringLiteral("chkUseOnMarkup"))) << "unchecking never checks the other";
    EXPECT_FALSE(window.Form().Rule().UseOnMargin());
    EXPECT_FALSE(window.Form().Rule().UseOnMarkup());
}

TEST(WindowSwitches, ProfitCriterionNeedsMinimumProfitOrProfitMode)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkUseOnAll"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("chkUseOnProfit"))) << "offered by turning all rows off";
    window.Click(QStringLiteral("chkMinProfit"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("chkUseOnProfit")));
    window.Click(QStringLiteral("chkUseOnProfit"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtUseOnProfit")));
    window.Click(QStringLiteral("chkMinProfit"));
    EXPECT_FALSE(window.Enabled(QStringLiteral("chkUseOnProfit")));
    EXPECT_FALSE(window.Enabled(QStringLiteral("txtUseOnProfit")));
    window.Click(QStringLiteral("optProfitMargin2"));
    EXPECT_TRUE(window.Enabled(QStringLiteral("chkUseOnProfit")));
    EXPECT_TRUE(window.Enabled(QStringLiteral("txtUseOnProfit")));
}

TEST(WindowSwitches, EverySwitchRefreshesTheExample)
{
    WindowDriver window(kSettings);
    window.Enter(QStringLiteral("txtSampleEk"), QStringLiteral("0,2"));
    ASSERT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,25 €"));
    window.Click(QStringLiteral("chkMinRate"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,38 €"));
    // Margin mode with 37,5 %: the same price factor 1,6.
    window.Enter(QStringLiteral("txtSampleEk"), QStringLiteral("0,1"));
    window.Click(QStringLiteral("optProfitMargin1"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,19 €"));
    // Profit mode: gross 0,1190 + 0,05 = 0,1690, rounded up to 0,17.
    window.Click(QStringLiteral("optProfitMargin2"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,17 €"));
}

} // namespace
} // namespace preisliste::test
