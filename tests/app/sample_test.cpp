#include "windowtest.h"

namespace preisliste::test {
namespace {

const QString kSettings = QStringLiteral("[Options]\nDB Path=/srv/telvoro\nMwSt=19\nProviderAccountUserId=4711\n");
const QColor kGreen(0, 255, 0);
const QColor kBlack(0, 0, 0);

QColor NewPriceColour(const WindowDriver &window)
{
    return window.Find<QLabel>(QStringLiteral("lblSampleNewVk"))->palette().color(QPalette::WindowText);
}

QStringList Results(const WindowDriver &window)
{
    QStringList texts;
    for (const char *name : {"lblSampleNewVk", "lblSampleProfit", "lblSampleMargin", "lblSampleMarkup"})
        texts << window.Text(QString::fromLatin1(name));
    return texts;
}

// Any key released in a rule field refreshes the example.
void Refresh(WindowDriver &window)
{
    window.Click(QStringLiteral("txtRoundUp"));
    window.PressKey(QStringLiteral("txtRoundUp"), Qt::Key_End);
}

TEST(WindowSample, ShowsTheWorkedFiguresAfterStartUp)
{
    WindowDriver window(kSettings);
    EXPECT_EQ(window.Text(QStringLiteral("txtSampleEk")), QStringLiteral("0,1290 €"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleEkGross")), QStringLiteral("0,1535 €"));
    EXPECT_EQ(window.Text(QStringLiteral("txtSampleOldVk")), QStringLiteral("0,23 €"));
    EXPECT_EQ(Results(window), (QStringList{QStringLiteral("0,25 €"), QStringLiteral("0,0965 €"),
                                            QStringLiteral("38,6%"), QStringLiteral("62,9%")}));
    EXPECT_EQ(NewPriceColour(window), kGreen);
}

TEST(WindowSample, ARuleThatDoesNotSelectTheSampleTurnsThePriceBlackAndKeepsTheTexts)
{
    WindowDriver window(kSettings);
    window.Click(QStringLiteral("chkUseOnAll")); // the margin criterion at 37,5 % still selects it
    EXPECT_EQ(NewPriceColour(window), kGreen);
    window.Enter(QStringLiteral("txtUseOnMargin"), QStringLiteral("30%"));
    Refresh(window);
    EXPECT_EQ(NewPriceColour(window), kBlack);
    EXPECT_EQ(Results(window), (QStringList{QStringLiteral("0,25 €"), QStringLiteral("0,0965 €"),
                                            QStringLiteral("38,6%"), QStringLiteral("62,9%")}));
}

TEST(WindowSample, AnOldPriceEqualToTheNewOneIsNoChange)
{
    WindowDriver window(kSettings);
    window.Enter(QStringLiteral("txtMarkup"), QStringLiteral("80"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,28 €"));
    window.Enter(QStringLiteral("txtSampleOldVk"), QStringLiteral("0,28"));
    EXPECT_EQ(window.Text(QStringLiteral("txtSampleOldVk")), QStringLiteral("0,28 €"));
    EXPECT_EQ(NewPriceColour(window), kGreen) << "no refresh yet";
    Refresh(window);
    EXPECT_EQ(NewPriceColour(window), kBlack);
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,28 €"));
}

TEST(WindowSample, ANewPurchasePriceShowsItsGrossAtOnceAndTheResultAtTheNextRefresh)
{
    WindowDriver window(kSettings);
    window.Enter(QStringLiteral("txtSampleEk"), QStringLiteral("0,2"));
    EXPECT_EQ(window.Text(QStringLiteral("txtSampleEk")), QStringLiteral("0,2000 €"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleEkGross")), QStringLiteral("0,2380 €"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,25 €"));
    EXPECT_EQ(window.Form().SampleNetBuying(), Currency::FromUnits(2000));
    Refresh(window);
    // 0,2380 × 1,6 = 0,3808, plus 0,0079, cut to cents: 0,38.
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,38 €"));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleProfit")), QStringLiteral("0,1420 €"));
}

TEST(WindowSample, AVatChangeRefreshesTheResultsButNotTheGross)
{
    WindowDriver window(kSettings);
    window.Enter(QStringLiteral("txtVAT"), QStringLiteral("20"));
    Refresh(window);
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleEkGross")), QStringLiteral("0,1535 €"));
    // Gross 0,1548 now: × 1,6 = 0,2477, plus 0,0079, cut: 0,25; profit 0,0952.
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleProfit")), QStringLiteral("0,0952 €"));
}

TEST(WindowSample, EscapeRestoresTheLastAcceptedPrices)
{
    WindowDriver window(kSettings);
    window.Enter(QStringLiteral("txtSampleEk"), QStringLiteral("0,2"));
    window.TypeInto(QStringLiteral("txtSampleEk"), QStringLiteral("0,9"));
    window.PressKey(QStringLiteral("txtSampleEk"), Qt::Key_Escape);
    EXPECT_EQ(window.Text(QStringLiteral("txtSampleEk")), QStringLiteral("0,2000 €"));
    EXPECT_EQ(window.Form().SampleNetBuying(), Currency::FromUnits(2000));
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleEkGross")), QStringLiteral("0,2380 €"));

    window.TypeInto(QStringLiteral("txtSampleOldVk"), QStringLiteral("1,99"));
    window.PressKey(QStringLiteral("txtSampleOldVk"), Qt::Key_Escape);
    EXPECT_EQ(window.Text(QStringLiteral("txtSampleOldVk")), QStringLiteral("0,23 €"));
    EXPECT_EQ(window.Form().SampleOldSelling(), Currency::FromUnits(2300));
}

TEST(WindowSample, TextThatIsNoAmountKeepsTheFocusWithoutSound)
{
    WindowDriver window(kSettings);
    for (const char *field : {"txtSampleEk", "txtSampleOldVk"}) {
        SCOPED_TRACE(field);
        window.Enter(QString::fromLatin1(field), QStringLiteral("teuer"));
        EXPECT_EQ(window.Focused(), window.Find(QString::fromLatin1(field)));
        window.Click(QStringLiteral("chkMinRate"));
        EXPECT_EQ(window.Focused(), window.Find(QString::fromLatin1(field)));
        EXPECT_FALSE(window.Checked(QStringLiteral("chkMinRate")));
        window.PressKey(QString::fromLatin1(field), Qt::Key_Escape);
        window.PressKey(QString::fromLatin1(field), Qt::Key_Tab);
    }
    EXPECT_EQ(window.Dialogs().alerts, 0);
    EXPECT_EQ(window.Form().SampleNetBuying(), Currency::FromUnits(1290));
    EXPECT_EQ(window.Form().SampleOldSelling(), Currency::FromUnits(2300));
}

TEST(WindowSample, ASampleBeyondTheCurrencyRangeShowsNoResult)
{
    WindowDriver window(kSettings);
    window.Enter(QStringLiteral("txtSampleEk"), QStringLiteral("900000000000000"));
    Refresh(window);
    EXPECT_EQ(NewPriceColour(window), kBlack);
    EXPECT_EQ(window.Text(QStringLiteral("lblSampleNewVk")), QStringLiteral("0,25 €"));
}

} // namespace
} // namespace preisliste::test
