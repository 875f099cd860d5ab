#include "common/numerictext.h"

#include "support/testsupport.h"

#include <cmath>

namespace preisliste {
namespace {

TEST(IsNumericText, TextAndUtf8BytesAgree)
{
    struct NumericCase {
        const char16_t *text;
        bool numeric;
    };
    const NumericCase cases[] = {NumericCase{u"0049", true}, NumericCase{u" 12 ", true}, NumericCase{u"-1.5", true},
                    NumericCase{u"+1,5", true}, NumericCase{u".5", true}, NumericCase{u"5.", true},
                    NumericCase{u"1e3", true}, NumericCase{u"2,5E-2", true}, NumericCase{u"", false},
                    NumericCase{u"  ", false}, NumericCase{u".", false}, NumericCase{u"-", false},
                    NumericCase{u"1.2.3", false}, NumericCase{u"1,2.3", false}, NumericCase{u"1e", false},
                    NumericCase{u"e3", false}, NumericCase{u"12a", false}, NumericCase{u"4 9", false},
                    NumericCase{u"١٢", false}, NumericCase{u"Ö1", false}};
    for (const NumericCase &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(IsNumericText(text), c.numeric) << text.toStdString();
        EXPECT_EQ(IsNumericText(QByteArrayView(text.toUtf8())), c.numeric) << text.toStdString();
    }
}

TEST(LeadingNumber, ReadsTheNumberAtTheStart)
{
    struct LeadingCase {
        const char16_t *text;
        double value;
    };
    const LeadingCase cases[] = {LeadingCase{u"0.0125", 0.0125}, LeadingCase{u"  0.19", 0.19}, LeadingCase{u"1 2.5", 12.5},
                    LeadingCase{u"1.234.56", 1.234}, LeadingCase{u"-0.05", -0.05}, LeadingCase{u"+3", 3},
                    LeadingCase{u"2e2x", 200}, LeadingCase{u"2e", 2}, LeadingCase{u"2e-", 2},
                    LeadingCase{u"abc", 0}, LeadingCase{u"", 0}, LeadingCase{u"-", 0}, LeadingCase{u".", 0},
                    LeadingCase{u"0,05", 0}, LeadingCase{u"12€", 12}, LeadingCase{u"1e-400", 0}};
    for (const LeadingCase &c : cases)
        EXPECT_DOUBLE_EQ(ReadLeadingNumber(QStringView(c.text)), c.value) << QString::fromUtf16(c.text).toStdString();
}

TEST(LeadingNumber, TooLargeIsInfinite)
{
    EXPECT_TRUE(std::isinf(ReadLeadingNumber(u"1e400")));
    EXPECT_LT(ReadLeadingNumber(u"-1e400"), 0);
    EXPECT_TRUE(std::isinf(ReadLeadingNumber(QString(400, u'9'))));
}

} // namespace
} // namespace preisliste
