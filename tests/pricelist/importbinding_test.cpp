// How the staging import hands its values to the engine: the stored types,
// the length limit in characters (not bytes), the line ends it strips, and a
// row the engine refuses.

#include "pricelist/pricelistfile.h"
#include "common/stageresult.h"
#include "pricelist/stagingimport.h"

#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "db/tariffdatabase.h"
#include "support/testsupport.h"

#include <QVariant>

#include <gtest/gtest.h>

namespace preisliste::test {
namespace {

class ImportBinding : public testing::Test {
protected:
    void SetUp() override
    {
        connection_ = test::OpenForRun(tariff_.Path());
        ASSERT_TRUE(connection_);
        transaction_ = std::make_unique<SqlTransaction>(*connection_);
        ASSERT_TRUE(transaction_->Begin());
    }

    bool Import(const QByteArray &content)
    {
        RunContext context{*connection_, progress_};
        // What the operator would see, as a run shows it.
        const StageResult result = ImportPriceListFile(tariff_.WriteFile(QStringLiteral("preise.csv"), content), context);
        TellOperator(result, messages_);
        return result.IsDone();
    }

    QStringList Query(const QString &sql)
    {
        return test::QueryRows(*connection_, sql);
    }

    TempTariff tariff_;
    RecordingMessages messages_;
    ScriptedProgress progress_;
    std::unique_ptr<SqliteConnection> connection_;
    std::unique_ptr<SqlTransaction> transaction_;
};

TEST_F(ImportBinding, PrefixesAndNamesAreTextPricesAreNumbers)
{
    ASSERT_TRUE(Import("#Vorwahl\n0049;Deutschland;0,0125\n0043;\xC3\x96sterreich;1\n0041;;0,5\n"));
    EXPECT_EQ(Query(QStringLiteral("SELECT typeof(Vorwahl), typeof(Ziel), typeof(PreisEk), PreisEk FROM Import2 "
                                   "ORDER BY rowid")),
              (QStringList{"text|text|real|0.0125", "text|text|integer|1", "text|null|real|0.5"}));
}

TEST_F(ImportBinding, TheLimitOf255CountsCharactersNotBytes)
{
    const QString umlauts255(255, QChar(0xE4));
    const QString umlauts256(256, QChar(0xE4));
    ASSERT_TRUE(Import("#Vorwahl\n1;" + umlauts255.toUtf8() + ";1\n2;" + umlauts256.toUtf8() + ";1\n3;"
                       + QByteArray(255, 'x') + ";1\n"));
    EXPECT_EQ(Query(QStringLiteral("SELECT Vorwahl, length(Ziel) FROM Import2 ORDER BY rowid")),
              (QStringList{"1|255", "2|NULL", "3|255"}));
}

TEST_F(ImportBinding, NamesArriveIntactFromEitherEncoding)
{
    ASSERT_TRUE(Import("#Vorwahl\n0090;T\xFCrkei Mobil;0,1\n0043;\xD6sterreich \x80;0,2\n"));
    EXPECT_EQ(Query(QStringLiteral("SELECT Ziel FROM Import2 ORDER BY rowid")),
              (QStringList{QString::fromUtf16(u"Türkei Mobil"), QString::fromUtf16(u"Österreich €")}));
}

TEST(ReadFileLine, CarriageReturnsBeforeTheLineFeedAllGo)
{
    TempTariff folder;
    PriceListReader reader;
    ASSERT_TRUE(reader.Open(folder.WriteFile(QStringLiteral("liste.csv"), "a\r\r\nb\r\rc\r\n\r\r\n")));
    QStringList lines;
    while (const auto line = reader.ReadFileLine())
        lines << *line;
    EXPECT_EQ(lines, (QStringList{"a", "bc", ""}));
}

// A full disk is the one refusal a row can meet once the staging table
// exists: the import says so and asks the run to roll back.
TEST_F(ImportBinding, ARowTheEngineRefusesFailsTheImportWithTheEnginesReason)
{
    QByteArray content = "#Vorwahl\n";
    for (int i = 0; i < 5000; ++i)
        content += "00" + QByteArray::number(100000 + i) + ";Ein recht langer Zielname f\xC3\xBCr viele Seiten;0,1\n";
    // The staging table lives in the temporary schema; its disk fills up.
    const QStringList pages = Query(QStringLiteral("PRAGMA temp.page_count"));
    ASSERT_EQ(pages.size(), 1);
    Query(QStringLiteral("PRAGMA temp.max_page_count = %1").arg(pages.front().toInt() + 8));

    EXPECT_FALSE(Import(content));
    ASSERT_EQ(messages_.Texts().size(), 1);
    EXPECT_TRUE(messages_.Texts().front().startsWith(
        QStringLiteral("Fehler: Die Preisliste konnte nicht übernommen werden: ")))
        << messages_.Texts().front().toStdString();
    EXPECT_TRUE(messages_.Texts().front().contains(QStringLiteral("Kein Platz mehr auf dem Datenträger"))) << messages_.Texts().front().toStdString();
    EXPECT_EQ(messages_.messages.front().icon, MessageIcon::Error);
}

} // namespace
} // namespace preisliste::test
