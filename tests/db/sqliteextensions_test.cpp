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

TEST_F(SqliteExtensions, CaseKeyIgnoresCaseForEveryLetter)
{
    EXPECT_EQ(Value(QStringLiteral("SELECT CaseKey('Österreich') = CaseKey('ÖSTERREICH')")).toInt(), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT CaseKey('germany') = CaseKey('Germany')")).toInt(), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT CaseKey('Türkei Mobil') = CaseKey('TÜRKEI MOBIL')")).toInt(), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT CaseKey('Österreich') = CaseKey('Osterreich')")).toInt(), 0);
    EXPECT_EQ(Value(QStringLiteral("SELECT count(*) FROM (SELECT 'Ägypten' AS n UNION ALL SELECT 'ÄGYPTEN' "
                                   "UNION ALL SELECT 'ägypten' UNION ALL SELECT 'Agypten') "
                                   "GROUP BY CaseKey(n) ORDER BY 1 DESC LIMIT 1")).toInt(), 3);
    // Null stays Null, so a row without a name never matches another one.
    EXPECT_EQ(Value(QStringLiteral("SELECT CaseKey(NULL) IS NULL AND CaseKey('') = ''")).toInt(), 1);
    // A number stored as a name is keyed by its text.
    EXPECT_EQ(Value(QStringLiteral("SELECT CaseKey(123)")).toString(), QStringLiteral("123"));
}

TEST_F(SqliteExtensions, CaseKeyCanBeIndexed)
{
    ASSERT_TRUE(connection_->Exec(QStringLiteral("CREATE TEMP TABLE Names (Name TEXT); "
                                                 "INSERT INTO Names VALUES ('Österreich'), ('Ägypten'), ('ägypten'); "
                                                 "CREATE INDEX temp.Names_Key ON Names (CaseKey(Name))")))
        << connection_->Error().toStdString();
    EXPECT_EQ(Value(QStringLiteral("SELECT count(*) FROM Names WHERE CaseKey(Name) = 'ägypten'")).toInt(), 2);
}

// Two names are one destination exactly when Qt compares them as equal
// without regard to case, whichever path (plain ASCII or not) the key takes.
TEST(CaseKey, EqualKeysExactlyForNamesEqualButForCase)
{
    const QStringList names = {"abc", "ABC", "abÖ", "ABö", "Ab", "ÄB", "äb", "AB", "Straße", "STRASSE", "straße",
                               "ΣΊΣΥΦΟΣ", "σίσυφος", "İstanbul", "istanbul", "", " ", "a b", "A  B", "Ｆｕｌｌ", "ｆｕｌｌ"};
    for (const QString &a : names) {
        for (const QString &b : names) {
            const bool sameKey = CaseKey(a.toUtf8()) == CaseKey(b.toUtf8());
            EXPECT_EQ(sameKey, a.compare(b, Qt::CaseInsensitive) == 0) << a.toStdString() << " / " << b.toStdString();
        }
    }
}

// The parent search walks names in the order of their keys and relies on a
// parent ("Türkei") coming before its children ("TÜRKEI Mobil").
TEST(CaseKey, ParentKeyIsALeadingPartOfTheChildKey)
{
    const std::pair<const char *, const char *> families[] = {
        {"Türkei", "TÜRKEI Mobil"}, {"Land1", "LAND1 Mobile Netz1"}, {"Ägypten", "ägypten Kairo"}, {"A", "a b c"}};
    for (const auto &[parent, child] : families) {
        const QByteArray parentKey = CaseKey(QByteArray(parent));
        const QByteArray childKey = CaseKey(QByteArray(child));
        EXPECT_TRUE(childKey.startsWith(parentKey + ' ')) << parent << " / " << child;
        EXPECT_LT(parentKey, childKey);
    }
}

} // namespace
} // namespace preisliste
