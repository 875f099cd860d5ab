#include "windowtest.h"

namespace preisliste::test {
namespace {

const QString kSettings = QStringLiteral("[Options]\nDB Path=/srv/telvoro\nMwSt=19\nProviderAccountUserId=4711\n");

// Opens the field's mode, the floors and the criteria, so that the field
// takes entries.
void OpenField(WindowDriver &window, const QString &field)
{
    if (field == QStringLiteral("txtProfit"))
        window.Click(QStringLiteral("optProfitMargin2"));
    else if (field == QStringLiteral("txtMargin"))
        window.Click(QStringLiteral("optProfitMargin1"));
    window.Click(QStringLiteral("chkMinRate"));
    window.Click(QStringLiteral("chkMinProfit"));
    window.Click(QStringLiteral("chkUseOnAll"));
    window.Click(QStringLiteral("chkUseOnProfit"));
    window.Click(QStringLiteral("chkUseOnSellRate"));
    if (field == QStringLiteral("txtUseOnMarkup"))
        window.Click(QStringLiteral("chkUseOnMarkup"));
}

QString Units(Currency amount)
{
    return amount.ToString(4);
}

// What a field's entry reads back from the rule.
QString RuleValue(const PricingRule &rule, const QString &field)
{
    const std::map<QString, std::function<QString()>> members = {
        {QStringLiteral("txtMarkup"), [&] { return QString::number(rule.markup(), 'g', 12); }},
        {QStringLiteral("txtMargin"), [&] { return QString::number(rule.margin(), 'g', 12); }},
        {QStringLiteral("txtVAT"), [&] { return QString::number(rule.VAT(), 'g', 12); }},
        {QStringLiteral("txtUseOnMargin"), [&] { return QString::number(rule.UseOnMarginValue, 'g', 12); }},
        {QStringLiteral("txtUseOnMarkup"), [&] { return QString::number(rule.UseOnMarkupValue, 'g', 12); }},
        {QStringLiteral("txtProfit"), [&] { return Units(rule.ProfitValue); }},
        {QStringLiteral("txtMinProfit"), [&] { return Units(rule.MinProfitValue); }},
        {QStringLiteral("txtMinSellRate"), [&] { return Units(rule.MinSellRateValue); }},
        {QStringLiteral("txtRoundUp"), [&] { return Units(rule.RoundUpValue()); }},
        {QStringLiteral("txtUseOnProfit"), [&] { return Units(rule.UseOnProfitValue); }},
        {QStringLiteral("txtUseOnSellRate"), [&] { return Units(rule.UseOnSellRateValue); }},
    };
    return members.at(field)();
}

struct EntryCase {
    const char *field;
    QString entry;
    QString shown;     // empty: refused
    QString ruleValue; // the rule member afterwards (when accepted)
};

void PrintTo(const EntryCase &c, std::ostream *os)
{
    *os << c.field << " <- \"" << c.entry.toStdString() << '"';
}

class WindowFieldEntry : public testing::TestWithParam<EntryCase> {};

TEST_P(WindowFieldEntry, IsCheckedWhenTheFieldIsLeft)
{
    const EntryCase &c = GetParam();
    const QString field = QString::fromLatin1(c.field);
    WindowDriver window(kSettings);
    OpenField(window, field);
    ASSERT_TRUE(window.Enabled(field));
    const QString before = RuleValue(window.Form().Rule(), field);
    const int alerts = window.Dialogs().alerts;

    window.Enter(field, c.entry);

    if (c.shown.isEmpty()) {
        EXPECT_EQ(window.Focused(), window.Find(field)) << "the field keeps the focus";
        EXPECT_EQ(window.Find<QLineEdit>(field)->selectedText(), c.entry) << "its text is selected";
        EXPECT_EQ(window.Dialogs().alerts, alerts + 1);
        EXPECT_EQ(window.Text(field), c.entry);
        // The markup/margin pair follows acceptable keys on the way; the others keep the rule.
        if (field != QStringLiteral("txtMarkup") && field != QStringLiteral("txtMargin")) {
            EXPECT_EQ(RuleValue(window.Form().Rule(), field), before);
        }
    } else {
        EXPECT_NE(window.Focused(), window.Find(field));
        EXPECT_EQ(window.Text(field), c.shown);
        EXPECT_EQ(RuleValue(window.Form().Rule(), field), c.ruleValue);
        EXPECT_EQ(window.Dialogs().alerts, alerts);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, WindowFieldEntry,
    testing::Values(
        EntryCase{"txtMarkup", QStringLiteral("1000%"), {}, {}},
        EntryCase{"txtMarkup", QStringLiteral("999,9%"), QStringLiteral("999,9%"), QStringLiteral("9.999")},
        EntryCase{"txtMarkup", QStringLiteral("0%"), QStringLiteral("0,0%"), QStringLiteral("0")},
        EntryCase{"txtMarkup", QStringLiteral("-1%"), {}, {}},
        EntryCase{"txtUseOnMarkup", QStringLiteral("1000%"), QStringLiteral("1.000,0%"), QStringLiteral("10")},
        EntryCase{"txtUseOnMarkup", QStringLiteral("1000,1%"), {}, {}},
        EntryCase{"txtUseOnMarkup", QStringLiteral("0%"), {}, {}},
        EntryCase{"txtMargin", QStringLiteral("100%"), {}, {}},
        EntryCase{"txtMargin", QStringLiteral("0%"), QStringLiteral("0,0%"), QStringLiteral("0")},
        EntryCase{"txtMargin", QStringLiteral("99,5"), QStringLiteral("99,5%"), QStringLiteral("0.995")},
        EntryCase{"txtUseOnMargin", QStringLiteral("100%"), {}, {}},
        EntryCase{"txtUseOnMargin", QStringLiteral("0%"), {}, {}},
        EntryCase{"txtUseOnMargin", QStringLiteral("25 %"), QStringLiteral("25,0%"), QStringLiteral("0.25")},
        EntryCase{"txtVAT", QStringLiteral("500%"), QStringLiteral("500,0%"), QStringLiteral("5")},
        EntryCase{"txtVAT", QStringLiteral("500,1%"), {}, {}},
        EntryCase{"txtVAT", QStringLiteral("0"), QStringLiteral("0,0%"), QStringLiteral("0")},
        EntryCase{"txtVAT", QStringLiteral("-1"), {}, {}},
        EntryCase{"txtMinProfit", QStringLiteral("0"), QStringLiteral("0,00 €"), QStringLiteral("0.0000")},
        EntryCase{"txtMinSellRate", QStringLiteral("0"), QStringLiteral("0,00 €"), QStringLiteral("0.0000")},
        EntryCase{"txtProfit", QStringLiteral("0"), QStringLiteral("0,00 €"), QStringLiteral("0.0000")},
        EntryCase{"txtUseOnProfit", QStringLiteral("0"), {}, {}},
        EntryCase{"txtUseOnSellRate", QStringLiteral("0"), {}, {}},
        EntryCase{"txtUseOnProfit", QStringLiteral("0,0001"), QStringLiteral("0,00 €"), QStringLiteral("0.0001")},
        EntryCase{"txtUseOnSellRate", QStringLiteral("1,5 €"), QStringLiteral("1,50 €"), QStringLiteral("1.5000")},
        EntryCase{"txtMinProfit", QStringLiteral("-0,01"), {}, {}},
        EntryCase{"txtMinSellRate", QStringLiteral("-0,01 €"), {}, {}},
        EntryCase{"txtProfit", QStringLiteral("-1"), {}, {}},
        EntryCase{"txtUseOnProfit", QStringLiteral("-0,05"), {}, {}},
        EntryCase{"txtUseOnSellRate", QStringLiteral("-0,10"), {}, {}},
        EntryCase{"txtMinProfit", QStringLiteral("5%"), {}, {}},
        EntryCase{"txtRoundUp", QStringLiteral("1"), {}, {}},
        EntryCase{"txtRoundUp", QStringLiteral("0,9999"), QStringLiteral("0,9999"), QStringLiteral("0.9999")},
        EntryCase{"txtRoundUp", QStringLiteral("0"), QStringLiteral("0,00"), QStringLiteral("0.0000")},
        EntryCase{"txtRoundUp", QStringLiteral("0.003"), QStringLiteral("0,003"), QStringLiteral("0.0030")},
        EntryCase{"txtRoundUp", QStringLiteral("-0,001"), {}, {}},
        EntryCase{"txtMinProfit", QStringLiteral("0,055"), QStringLiteral("0,06 €"), QStringLiteral("0.0550")},
        EntryCase{"txtMarkup", QStringLiteral("abc"), {}, {}},
        EntryCase{"txtVAT", QStringLiteral("%"), {}, {}},
        EntryCase{"txtMinSellRate", QStringLiteral(""), {}, {}}));

TEST(WindowMarkupField, SixtyIsReadInEveryForm)
{
    for (const QString &entry : {QStringLiteral("60"), QStringLiteral("60%"), QStringLiteral("60,0%"),
                                 QStringLiteral("  60  "), QStringLiteral(" 60,0% ")}) {
        SCOPED_TRACE(entry.toStdString());
        WindowDriver window(kSettings);
        window.Enter(QStringLiteral("txtMarkup"), QStringLiteral("50"));
        ASSERT_EQ(window.Text(QStringLiteral("txtMargin")), QStringLiteral("33,3%"));
        window.Enter(QStringLiteral("txtMarkup"), entry);
        EXPECT_DOUBLE_EQ(window.Form().Rule().markup(), 0.6);
        EXPECT_DOUBLE_EQ(window.Form().Rule().margin(), 0.375);
        EXPECT_EQ(window.Text(QStringLiteral("txtMarkup")), QStringLiteral("60,0%"));
        EXPECT_EQ(window.Text(QStringLiteral("txtMargin")), QStringLiteral("37,5%"));
    }
}

TEST(WindowMarkupField, FollowsEveryKeyAndEscapeRestoresTheRule)
{
    WindowDriver window(kSettings);
    window.TypeInto(QStringLiteral("txtMarkup"), QStringLiteral("100"));
    // Not yet left: the rule and the margin follow the keys already.
    EXPECT_DOUBLE_EQ(window.Form().Rule().markup(), 1.0);
    EXPECT_EQ(window.Text(QStringLiteral("txtMargin")), QStringLiteral("50,0%"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,31 €"));

    window.TypeInto(QStringLiteral("txtMarkup"), QStringLiteral("ab"));
    EXPECT_EQ(window.Text(QStringLiteral("txtMargin")), QString()) << "emptied at once";
    EXPECT_DOUBLE_EQ(window.Form().Rule().markup(), 1.0) << "the rule keeps its last accepted value";

    window.PressKey(QStringLiteral("txtMarkup"), Qt::Key_Escape);
    EXPECT_EQ(window.Text(QStringLiteral("txtMarkup")), QStringLiteral("100,0%"));
    EXPECT_EQ(window.Text(QStringLiteral("txtMargin")), QStringLiteral("50,0%")) << "refilled by Escape's key-up";
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtMarkup")));
}

TEST(WindowMarginField, SetsTheMarkupLive)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("optProfitMargin1"));
    window.TypeInto(QStringLiteral("txtMargin"), QStringLiteral("50"));
    EXPECT_EQ(window.Text(QStringLiteral("txtMarkup")), QStringLiteral("100,0%"));
    window.TypeInto(QStringLiteral("txtMargin"), QStringLiteral("x"));
    EXPECT_EQ(window.Text(QStringLiteral("txtMarkup")), QString());
    window.PressKey(QStringLiteral("txtMargin"), Qt::Key_Escape);
    EXPECT_EQ(window.Text(QStringLiteral("txtMargin")), QStringLiteral("50,0%"));
    EXPECT_EQ(window.Text(QStringLiteral("txtMarkup")), QStringLiteral("100,0%"));
}

TEST(WindowFields, EscapeRestoresAnyFieldFromTheRule)
{
    WindowDriver window(kSettings);
    window.TypeInto(QStringLiteral("txtVAT"), QStringLiteral("zwoelf"));
    window.PressKey(QStringLiteral("txtVAT"), Qt::Key_Escape);
    EXPECT_EQ(window.Text(QStringLiteral("txtVAT")), QStringLiteral("19,0%"));
    window.PressKey(QStringLiteral("txtVAT"), Qt::Key_Tab);
    EXPECT_NE(window.Focused(), window.Find(QStringLiteral("txtVAT")));
    EXPECT_EQ(window.Dialogs().alerts, 0);
}

TEST(WindowFields, HandOverToTheCriterionFields)
{
    struct HandOver {
        const char *field;
        const char *target;
    };
    for (const HandOver &h : {HandOver{"txtMinSellRate", "txtUseOnSellRate"}, HandOver{"txtProfit", "txtUseOnSellRate"},
                              HandOver{"txtMinProfit", "txtUseOnProfit"}}) {
        SCOPED_TRACE(h.field);
        WindowDriver window(kSettings);
        window.Click(QStringLiteral("chkMinRate"));
        window.Click(QStringLiteral("chkMinProfit"));
        if (QString::fromLatin1(h.field) == QStringLiteral("txtProfit"))
            window.Click(QStringLiteral("optProfitMargin2"));
        window.Enter(QString::fromLatin1(h.field), QStringLiteral("0,12"));
        EXPECT_EQ(window.Text(QString::fromLatin1(h.field)), QStringLiteral("0,12 €"));
        EXPECT_EQ(window.Text(QString::fromLatin1(h.target)), QStringLiteral("0,12 €"));
        EXPECT_EQ(RuleValue(window.Form().Rule(), QString::fromLatin1(h.target)), QStringLiteral("0.1200"));
    }
}

TEST(WindowFields, MoreDecimalsThanShownAreKeptInTheRule)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkMinProfit"));
    window.Enter(QStringLiteral("txtMinProfit"), QStringLiteral("0,055"));
    EXPECT_EQ(window.Form().Rule().MinProfitValue, Currency::FromUnits(550));
    EXPECT_EQ(window.Form().Rule().UseOnProfitValue, Currency::FromUnits(550));
    EXPECT_EQ(window.Text(QStringLiteral("txtMinProfit")), QStringLiteral("0,06 €"));
    EXPECT_EQ(window.Text(QStringLiteral("txtUseOnProfit")), QStringLiteral("0,06 €"));
}

TEST(WindowFields, UseOnMarginKeepsTheFocusQuietlyForTextThatIsNoNumber)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkUseOnAll")); // the margin criterion is the rule's default
    ASSERT_TRUE(window.Enabled(QStringLiteral("txtUseOnMargin")));
    window.Enter(QStringLiteral("txtUseOnMargin"), QStringLiteral("viel"));
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtUseOnMargin")));
    EXPECT_EQ(window.Dialogs().alerts, 0);
    EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtUseOnMargin"))->selectedText(), QString());

    window.Enter(QStringLiteral("txtUseOnMargin"), QStringLiteral("150%"));
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtUseOnMargin")));
    EXPECT_EQ(window.Dialogs().alerts, 1);
    EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtUseOnMargin"))->selectedText(), QStringLiteral("150%"));
    EXPECT_DOUBLE_EQ(window.Form().Rule().UseOnMarginValue, 0.375);
}

TEST(WindowFields, EveryFieldButVatSelectsItsTextOnFocus)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("txtRoundUp"));
    EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtRoundUp"))->selectedText(), QStringLiteral("0,002"));
    window.Click(QStringLiteral("txtVAT"));
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtVAT")));
    EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtVAT"))->selectedText(), QString());
    window.Click(QStringLiteral("txtMarkup"));
    EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtMarkup"))->selectedText(), QStringLiteral("60,0%"));

    // By the keyboard as well.
    window.Click(QStringLiteral("txtRoundUp"));
    window.PressKey(QStringLiteral("txtRoundUp"), Qt::Key_Backtab); // into txtVAT
    ASSERT_EQ(window.Focused(), window.Find(QStringLiteral("txtVAT")));
    EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtVAT"))->selectedText(), QString());
    window.PressKey(QStringLiteral("txtVAT"), Qt::Key_Tab);
    ASSERT_EQ(window.Focused(), window.Find(QStringLiteral("txtRoundUp")));
    EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtRoundUp"))->selectedText(), QStringLiteral("0,002"));
}

TEST(WindowFields, NoOtherControlActsWhileAFieldHoldsAnUnacceptableEntry)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkImport"));
    window.Dialogs().nextChosenFile = QStringLiteral("/lists/neu.csv");
    window.TypeInto(QStringLiteral("txtMarkup"), QStringLiteral("2000%"));

    for (const char *control : {"cmdStart", "cmdFile", "cmdDatebasePath", "chkMinRate", "optProfitMargin1",
                                "chkUseOnAll", "chkPriceDownload", "txtVAT", "cmdClose"}) {
        SCOPED_TRACE(control);
        window.Click(QString::fromLatin1(control));
        EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtMarkup")));
        EXPECT_EQ(window.Find<QLineEdit>(QStringLiteral("txtMarkup"))->selectedText(), QStringLiteral("2000%"));
    }
    EXPECT_EQ(window.Dialogs().alerts, 9);
    EXPECT_FALSE(window.Form().UpdateRunning());
    EXPECT_FALSE(window.Form().LastRunOutcome().has_value());
    EXPECT_TRUE(window.Dialogs().fileRequests.isEmpty());
    EXPECT_FALSE(window.Checked(QStringLiteral("chkMinRate")));
    EXPECT_TRUE(window.Checked(QStringLiteral("optProfitMargin0")));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkUseOnAll")));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkImport")));
    EXPECT_TRUE(window.Form().isVisible());

    // Tab does not leave either; Escape restores, and then the click acts.
    window.PressKey(QStringLiteral("txtMarkup"), Qt::Key_Tab);
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtMarkup")));
    window.PressKey(QStringLiteral("txtMarkup"), Qt::Key_Escape);
    window.Click(QStringLiteral("cmdFile"));
    EXPECT_EQ(window.Dialogs().fileRequests.size(), 1);
    EXPECT_EQ(window.Form().PriceListFile(), QStringLiteral("/lists/neu.csv"));
    window.Click(QStringLiteral("chkMinRate"));
    EXPECT_TRUE(window.Checked(QStringLiteral("chkMinRate")));
}

TEST(WindowFields, AProgrammaticClickIsRefusedLikeAMouseClick)
{
    WindowDriver window(kSettings);
    window.TypeInto(QStringLiteral("txtVAT"), QStringLiteral("x"));
    window.Find<QPushButton>(QStringLiteral("cmdDatebasePath"))->click();
    EXPECT_TRUE(window.Dialogs().fileRequests.isEmpty());
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtVAT")));
}

} // namespace
} // namespace preisliste::test

namespace preisliste::test {
namespace {

TEST(WindowFields, AShortcutDoesNotActWhileAFieldHoldsAnUnacceptableEntry)
{
    WindowDriver window(kSettings);
    int clicks = 0;
    QObject::connect(window.Find<QPushButton>(QStringLiteral("cmdRecalc")), &QPushButton::clicked, [&] { ++clicks; });
    window.TypeInto(QStringLiteral("txtMarkup"), QStringLiteral("x"));
    window.PressKey(QStringLiteral("txtMarkup"), Qt::Key_B, Qt::AltModifier); // "Neu &Berechnen"
    WaitUntil([] { return false; }, 300); // time for the button's delayed click, were it to come
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(window.Focused(), window.Find(QStringLiteral("txtMarkup")));
    EXPECT_EQ(window.Dialogs().alerts, 1);

    window.PressKey(QStringLiteral("txtMarkup"), Qt::Key_Escape);
    window.PressKey(QStringLiteral("txtMarkup"), Qt::Key_B, Qt::AltModifier);
    EXPECT_TRUE(WaitUntil([&] { return clicks == 1; }));
    EXPECT_EQ(window.Dialogs().alerts, 1);
}

} // namespace
} // namespace preisliste::test
