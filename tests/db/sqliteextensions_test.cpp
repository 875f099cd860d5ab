#include "db/sqliteextensions.h"

#include "db/tariffdatabase.h"
#include "support/testsupport.h"

#include <QVariant>

namespace preisliste {
namespace {

class SqliteExtensions : public testing::Test {
protected:
    void SetUp() override
    {
        connection_ = test::OpenForRun(tariff_.Path());
        ASSERT_TRUE(connection_);
    }
    QVariant Value(const QString &sql)
    {
        return test::QueryValue(*connection_, sql);
    }

    test::TempTariff tariff_;
    test::RecordingMessages messages_;
    std::unique_ptr<SqliteConnection> connection_;
};

TEST_F(SqliteExtensions, IsNumericAcceptsNumbersAndNumericText)
{
    EXPECT_EQ(Value(QStringLiteral("SELECT IsNumeric('0049') + IsNumeric(' 1,5 ') + IsNumeric(12) + "
                                   "IsNumeric(0.5) + isnumeric('1e3')")).toInt(), 5);
    EXPECT_EQ(Value(QStringLiteral("SELECT IsNumeric(NULL) + IsNumeric('') + IsNumeric('12a') + "
                                   "IsNumeric('Österreich') + IsNumeric(x'3132')")).toInt(), 1);
}

TEST_F(SqliteExtensions, CollationIgnoresCaseForEveryLetter)
{
    EXPECT_EQ(Value(QStringLiteral("SELECT 'Österreich' = 'ÖSTERREICH' COLLATE UNICODE_CI")).toInt(), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT 'germany' = 'Germany' COLLATE UNICODE_CI")).toInt(), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT 'Türkei Mobil' = 'TÜRKEI MOBIL' COLLATE UNICODE_CI")).toInt(), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT 'Österreich' = 'Osterreich' COLLATE UNICODE_CI")).toInt(), 0);
    EXPECT_EQ(Value(QStringLiteral("SELECT count(*) FROM (SELECT 'Ägypten' AS n UNION ALL SELECT 'ÄGYPTEN' "
                                   "UNION ALL SELECT 'ägypten' UNION ALL SELECT 'Agypten') "
                                   "GROUP BY n COLLATE UNICODE_CI ORDER BY 1 DESC LIMIT 1")).toInt(), 3);
}

TEST(CompareCaseInsensitive, IsAConsistentOrder)
{
    // Mixed ASCII and non-ASCII names sort the same way whichever path the
    // comparison takes, so an index built with the collation stays valid.
    const QStringList names = {QStringLiteral("abc"), QStringLiteral("ABD"), QStringLiteral("abÖ"),
                               QStringLiteral("Ab"), QStringLiteral("ÄB"), QStringLiteral("äb"),
                               QStringLiteral("b"), QStringLiteral("")};
    auto compare = [](const QString &a, const QString &b) {
        const QByteArray x = a.toUtf8(), y = b.toUtf8();
        return CompareCaseInsensitive(x.constData(), int(x.size()), y.constData(), int(y.size()));
    };
    for (const QString &a : names) {
        EXPECT_EQ(compare(a, a), 0);
        for (const QString &b : names) {
            EXPECT_EQ(compare(a, b), -compare(b, a)) << a.toStdString() << " " << b.toStdString();
            for (const QString &c : names) {
                if (compare(a, b) <= 0 && compare(b, c) <= 0) {
                    EXPECT_LE(compare(a, c), 0) << a.toStdString() << b.toStdString() << c.toStdString();
                }
            }
        }
    }
    EXPECT_EQ(compare(QStringLiteral("ÄB"), QStringLiteral("äb")), 0);
    EXPECT_LT(compare(QStringLiteral("Ab"), QStringLiteral("abc")), 0);
}

} // namespace
} // namespace preisliste
