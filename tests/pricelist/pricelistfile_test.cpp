#include "pricelist/pricelistfile.h"

#include "support/testsupport.h"

namespace preisliste {
namespace {

QStringList AllLines(const test::TempTariff &folder, const QByteArray &content)
{
    PriceListReader reader;
    EXPECT_TRUE(reader.Open(folder.WriteFile(QStringLiteral("list.csv"), content)));
    QStringList lines;
    while (const auto line = reader.ReadFileLine())
        lines << *line;
    return lines;
}

TEST(ReadFileLine, SplitsAtLineFeedsAndDropsEveryCarriageReturn)
{
    test::TempTariff folder;
    struct Case {
        QByteArray content;
        QStringList lines;
    };
    const Case cases[] = {
        {"a\nb\n", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},               // a last line without a line end still counts
        {"a\n\nb\n", {"a", "", "b"}},        // empty lines are lines
        {"a\nb\r", {"a", "b"}},
        {"a\n\r", {"a"}},                    // only a CR after the last LF: no further line
        {"x\ry\nz\n", {"xy", "z"}},          // a CR inside a field vanishes
        {"a\rb\rc\r", {}},                   // no LF at all: no complete line
        {"only one line", {}},
        {"", {}},
        {"\n", {""}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(AllLines(folder, c.content), c.lines) << c.content.toStdString();
}

TEST(ReadFileLine, DecodesUtf8OrWindows1252)
{
    test::TempTariff folder;
    EXPECT_EQ(AllLines(folder, "\xEF\xBB\xBF#Vorwahl\n0043;\xC3\x96sterreich;1\n"),
              (QStringList{"#Vorwahl", QString::fromUtf16(u"0043;Österreich;1")}));
    EXPECT_EQ(AllLines(folder, "#Vorwahl\n0043;\xD6sterreich;1\n0090;T\xFCrkei \x80;1\n"),
              (QStringList{"#Vorwahl", QString::fromUtf16(u"0043;Österreich;1"),
                           QString::fromUtf16(u"0090;Türkei €;1")}));
}

TEST(ReadFileLine, MissingFileAndFolderAreNamedWithTheReason)
{
    test::TempTariff folder;
    PriceListReader missing;
    const QString path = folder.FilePath(QStringLiteral("nicht da.csv"));
    EXPECT_FALSE(missing.Open(path));
    EXPECT_TRUE(missing.ErrorString().contains(path));
    EXPECT_TRUE(missing.ErrorString().contains(QStringLiteral("existiert nicht")));
    PriceListReader directory;
    EXPECT_FALSE(directory.Open(folder.FilePath({})));
    EXPECT_TRUE(directory.ErrorString().contains(QStringLiteral("Ordner")));
}

TEST(ParseCsvLine, TakesFieldsByPositionAndCleansThem)
{
    struct Case {
        QString line;
        std::optional<QString> prefix, name, price;
    };
    const Case cases[] = {
        {"49;Deutschland Festnetz;0,0125", "49", "Deutschland Festnetz", "0.0125"},
        {R"( "0049" ; "Name, mit Komma" ; "0,19" )", "0049", "Name. mit Komma", "0.19"},
        {"1;a;0,05;x;0,04", "1", "a", "0.04"},          // numeric fifth field replaces the price
        {"1;a;0,05;x;frei", "1", "a", "0.05"},
        {"1;a;0,05;0,04", "1", "a", "0.05"},            // the fourth field is never read
        {"1;a;0,05;x;0,04;0,03", "1", "a", "0.04"},
        {"1;a", std::nullopt, std::nullopt, std::nullopt}, // fewer than three fields: nothing
        {"", std::nullopt, std::nullopt, std::nullopt},
        {"\"1;2\";b;c", "1", "2\"", "b"},               // quotes do not protect a separator
        {"\"a;b;\"", "a", "b", ""},
        {"1;\"\";3", "1", "", "3"},
        {"1;Name  ;1.234,56", "1", "Name", "1.234.56"},
    };
    for (const Case &c : cases) {
        const PriceListFields fields = ParseCsvLine(c.line);
        EXPECT_EQ(fields[0], c.prefix) << c.line.toStdString();
        EXPECT_EQ(fields[1], c.name) << c.line.toStdString();
        EXPECT_EQ(fields[2], c.price) << c.line.toStdString();
    }
}

TEST(ParseCsvLine, SurvivesHugeLines)
{
    QString manyFields = QStringLiteral("1;a;0,5");
    for (int i = 0; i < 10000; ++i)
        manyFields += QStringLiteral(";x");
    EXPECT_EQ(ParseCsvLine(manyFields)[2], QStringLiteral("0.5"));
    const QString longName(10'000'000, u'n');
    EXPECT_EQ(ParseCsvLine(QStringLiteral("1;") + longName + QStringLiteral(";2"))[1]->size(), longName.size());
}

} // namespace
} // namespace preisliste
