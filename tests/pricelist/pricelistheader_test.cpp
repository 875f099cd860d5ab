#include "pricelist/pricelistfile.h"
#include "pricelist/pricelistheader.h"

#include "support/testsupport.h"

#include <QBuffer>

namespace preisliste {
namespace {

PriceListHeader HeaderOf(QByteArray bytes)
{
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    return ReadPriceListHeader(device);
}

// Where the header of a list ends, by the one reader the import and the
// download's check share.
struct EndCase {
    const char *name;
    QByteArray bytes;
    PriceListForm form;
    qint64 lineCount;
    qint64 dataOffset;
    bool hasData;
};

TEST(ReadPriceListHeader, FindsTheFormAndTheFirstDataLine)
{
    using enum PriceListForm;
    const EndCase cases[] = {
        {"plain form", "#Vorwahl;Ziel;Preis\n49;X;0,1\n", Plain, 1, 20, true},
        {"plain form alone", "#Vorwahl;Ziel;Preis\n", Plain, 1, 20, false},
        {"server form", "#kvtpricelist\r\nList-ID: a\r\n\r\n49;X;0,1\r\n", Server, 3, 29, true},
        {"marker in capitals", "#KVTPRICELIST\n\n49\n", Server, 2, 15, true},
        {"marker with more text", "#kvtpricelist v2\n\n49\n", Server, 2, 18, true},
        {"plain marker in small letters", "#vorwahl\n49\n", Plain, 1, 9, true},
        {"line of blanks ends the header", "#kvtpricelist\nList-ID: a\n   \n49\n", Server, 3, 29, true},
        {"line of tabs ends the header", "#kvtpricelist\n\t\n49\n", Server, 2, 16, true},
        {"header to the end", "#kvtpricelist\nList-ID: a\n", Server, 2, 25, false},
        {"lone CR is dropped", "#kvtpricelist\rList-ID: a\n\n", Server, 2, 26, false},
        {"BOM before the marker", "\xEF\xBB\xBF#Vorwahl\n49\n", Plain, 1, 12, true},
        {"last data line without line end", "#kvtpricelist\n\n49", Server, 2, 15, true},
        {"only CRs after the header", "#kvtpricelist\n\n\r", Server, 2, 15, false},
        {"marker without line end", "#kvtpricelist", NotAPriceList, 0, 0, false},
        {"empty line first", "\n#kvtpricelist\n", NotAPriceList, 0, 0, false},
        {"marker without #", "Vorwahl;Ziel;Preis\n", NotAPriceList, 0, 0, false},
        {"nothing", "", NotAPriceList, 0, 0, false},
    };
    for (const EndCase &c : cases) {
        SCOPED_TRACE(c.name);
        const PriceListHeader header = HeaderOf(c.bytes);
        EXPECT_EQ(header.form, c.form);
        EXPECT_EQ(header.lineCount, c.lineCount);
        EXPECT_EQ(header.dataOffset, c.dataOffset);
        EXPECT_EQ(header.hasData, c.hasData);
    }
}

TEST(ReadPriceListHeader, ReadsTheServerFormsValuesUpToTheFirstBadOne)
{
    const PriceListHeader header = HeaderOf("#kvtpricelist\nList-ID: a b \nEffective: 01.03.2011\n"
                                            "List-Sequence: zwölf\nList-ID: c\n\n49\n");
    EXPECT_EQ(header.listId, QStringLiteral("a b"));
    EXPECT_EQ(header.effective, QDateTime(QDate(2011, 3, 1), QTime(0, 0)));
    EXPECT_EQ(header.sequence, std::nullopt);
    EXPECT_EQ(header.badLine, QStringLiteral("List-Sequence: zwölf"));
    EXPECT_EQ(header.badValueReason, QStringLiteral("keine ganze Zahl"));
    EXPECT_EQ(header.lineCount, 6) << "a bad value still reads to the end of the header";
    EXPECT_TRUE(HeaderOf("#Vorwahl\nEffective: morgen\n").badLine.isEmpty()) << "the plain form has no header";
}

// The import goes on after the header with the line numbers of the file.
TEST(ReadPriceListHeader, TheImportsReaderContinuesWithTheFirstDataLine)
{
    test::TempTariff folder;
    PriceListReader reader;
    ASSERT_TRUE(reader.Open(folder.WriteFile(QStringLiteral("list.csv"),
                                             "\xEF\xBB\xBF#kvtpricelist\r\nList-ID: a\r\n  \r\n0049;X;0,1\r\n")));
    EXPECT_EQ(reader.ReadHeader().form, PriceListForm::Server);
    EXPECT_EQ(reader.ReadFileLine(), QStringLiteral("0049;X;0,1"));
    EXPECT_EQ(reader.LineNumber(), 4);
    EXPECT_EQ(reader.ReadFileLine(), std::nullopt);
}

} // namespace
} // namespace preisliste
