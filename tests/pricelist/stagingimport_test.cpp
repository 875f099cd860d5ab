#include "pricelist/stagingimport.h"
#include "common/stageresult.h"

#include "db/runcontext.h"
#include "db/sqlhelpers.h"
#include "db/tariffdatabase.h"
#include "support/testsupport.h"

#include <QVariant>

namespace preisliste {
namespace {

const QString kFalscheDatei = QStringLiteral("Falsche Datei");

// Imports into a real tariff inside a transaction, as a run does.
class StagingImport : public testing::Test {
protected:
    void SetUp() override
    {
        connection_ = test::OpenForRun(tariff_.Path());
        ASSERT_TRUE(connection_);
        transaction_ = std::make_unique<SqlTransaction>(*connection_);
        ASSERT_TRUE(transaction_->Begin());
    }

    bool Import(const QByteArray &content, int stopAtCall = 0)
    {
        return ImportPath(tariff_.WriteFile(QStringLiteral("preise.csv"), content), stopAtCall);
    }
    bool ImportPath(const QString &path, int stopAtCall = 0)
    {
        progress_ = test::ScriptedProgress(stopAtCall);
        RunContext context{*connection_, progress_};
        // What the operator would see, as a run shows it.
        const StageResult result = ImportPriceListFile(path, context);
        TellOperator(result, messages_);
        return result.IsDone();
    }

    // Import2 row by row: prefix|name|price, Null as NULL.
    QStringList Staged()
    {
        if (test::QueryRows(*connection_, QStringLiteral("SELECT 1 FROM sqlite_temp_master WHERE name = 'Import2'")).isEmpty())
            return {QStringLiteral("no Import2")};
        EXPECT_EQ(test::QueryRows(*connection_, QStringLiteral("SELECT 1 FROM Import2 WHERE ImportState IS NOT NULL "
                                                                "OR OldName IS NOT NULL OR VkPreis IS NOT NULL "
                                                                "OR IsEdited IS NOT NULL")),
                  QStringList())
            << "the import fills only three columns";
        return test::QueryRows(*connection_, QStringLiteral("SELECT Vorwahl, Ziel, PreisEk FROM Import2 ORDER BY rowid"));
    }

    // The skipped lines: line number|reason.
    QStringList Skipped()
    {
        return test::QueryRows(*connection_,
                               QStringLiteral("SELECT LineNumber, Reason FROM %1 ORDER BY LineNumber").arg(kSkippedLinesTable));
    }

    test::TempTariff tariff_;
    test::RecordingMessages messages_;
    test::ScriptedProgress progress_;
    std::unique_ptr<SqliteConnection> connection_;
    std::unique_ptr<SqlTransaction> transaction_;
};

TEST_F(StagingImport, ServerFormImportsExactlyTheDataLines)
{
    ASSERT_TRUE(Import("#kvtpricelist\r\nList-ID: 42\r\nEffective: 01.03.2011\r\n\r\n"
                       "004930;Deutschland Berlin;0,0125\r\n0043;\xC3\x96sterreich;0.03\r\n"));
    EXPECT_EQ(Staged(), (QStringList{"004930|Deutschland Berlin|0.0125", QString::fromUtf16(u"0043|Österreich|0.03")}));
    EXPECT_TRUE(messages_.messages.isEmpty());
    EXPECT_EQ(progress_.history.first(), std::make_pair(0, 0));
    EXPECT_EQ(progress_.history.last(), std::make_pair(100, 100));
}

TEST_F(StagingImport, HeaderClosedByALineOfBlanks)
{
    ASSERT_TRUE(Import("#KVTPRICELIST extra\nList-ID: 1\n   \n1;a;1\n"));
    EXPECT_EQ(Staged(), QStringList{"1|a|1"});
}

TEST_F(StagingImport, ServerFormWithoutBlankLineImportsNothing)
{
    ASSERT_TRUE(Import("#kvtpricelist\nList-ID: 1\n1;a;1\n2;b;2\n"));
    EXPECT_EQ(Staged(), QStringList{});
}

TEST_F(StagingImport, PlainFormImportsEveryLaterLine)
{
    ASSERT_TRUE(Import("#Vorwahl;Ziel;Preis\n49;Deutschland Festnetz;0,0125\n"
                       " \"0049\" ; \"Name, mit Komma\" ; \"0,19\" \n"
                       "1;a;0,05;x;0,04\n2;b;0,05;x;frei\n3;c;0,05;0,04\n"
                       "4;d;1.234,56\n5;e\n6;f;abc\n7;g;\n"));
    EXPECT_EQ(Staged(), (QStringList{"49|Deutschland Festnetz|0.0125", "0049|Name. mit Komma|0.19", "1|a|0.04",
                                     "2|b|0.05", "3|c|0.05", "4|d|1.234"}));
    // Lines without a usable price would sell at 0; they are named instead.
    EXPECT_EQ(Skipped(), (QStringList{QStringLiteral("8|zu wenige Felder (Vorwahl;Ziel;Preis)"),
                                      QStringLiteral("9|Preis ist keine Zahl"), QStringLiteral("10|Preis fehlt")}));
}

TEST_F(StagingImport, LastLineWithoutLineEndAndEmptyLinesInTheData)
{
    ASSERT_TRUE(Import("#Vorwahl\n1;a;1\n\n\n2;b;2\n\r\n3;c;0,3"));
    EXPECT_EQ(Staged(), (QStringList{"1|a|1", "2|b|2", "3|c|0.3"}));
    EXPECT_EQ(Skipped(), QStringList{});
}

TEST_F(StagingImport, Windows1252AndUtf8ArriveAlike)
{
    ASSERT_TRUE(Import("#Vorwahl\n0090;T\xFCrkei Mobil;0,1\n0043;\xD6sterreich;0,2\n"));
    const QStringList latin = Staged();
    ASSERT_TRUE(Import("\xEF\xBB\xBF#Vorwahl\n0090;T\xC3\xBCrkei Mobil;0,1\n0043;\xC3\x96sterreich;0,2\n"));
    EXPECT_EQ(Staged(), latin);
    EXPECT_EQ(latin.value(1), QString::fromUtf16(u"0043|Österreich|0.2"));
}

TEST_F(StagingImport, ValuesTheColumnsDoNotTakeStayUnset)
{
    const QByteArray longName(256, 'n');
    ASSERT_TRUE(Import("#Vorwahl\n1;" + longName + ";1\n" + QByteArray(1000, '9') + ";x;1e400\n2;y;-1e20\n3;z;0,00005\n"));
    EXPECT_EQ(Staged(), (QStringList{"1|NULL|1", "3|z|0"}));
    EXPECT_EQ(Skipped(), (QStringList{QStringLiteral("3|Vorwahl hat mehr als 255 Zeichen"),
                                      QStringLiteral("4|Preis ist negativ")}));
}

TEST_F(StagingImport, RepeatedImportReplacesTheStagingTable)
{
    ASSERT_TRUE(Import("#Vorwahl\n1;a;1\n"));
    ASSERT_TRUE(Import("#Vorwahl\n2;b;2\n"));
    EXPECT_EQ(Staged(), QStringList{"2|b|2"});
}

TEST_F(StagingImport, RejectedFilesSayWhyAndLeaveNoStagingTable)
{
    struct Case {
        const char *what;
        QByteArray content;
    };
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919) % 251);
    const Case cases[] = {
        {"header without #", "Vorwahl;Ziel;Preis\n1;a;1\n"},
        {"wrong first line", "Prefix;Destination;Rate\n1;a;1\n"},
        {"only CR line ends", "#Vorwahl\r1;a;1\r"},
        {"no line end at all", "#kvtpricelist"},
        {"empty file", ""},
        {"binary garbage", garbage},
        {"first line empty", "\n#Vorwahl\n1;a;1\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        messages_.messages.clear();
        EXPECT_FALSE(Import(c.content));
        ASSERT_EQ(messages_.Texts().size(), 2);
        EXPECT_EQ(messages_.Texts().at(0), kFalscheDatei);
        EXPECT_TRUE(messages_.Texts().at(1).startsWith(QStringLiteral("Fehler: ")));
        EXPECT_TRUE(messages_.Texts().at(1).contains(QStringLiteral("preise.csv")));
        EXPECT_EQ(messages_.messages.at(1).icon, MessageIcon::Error);
        EXPECT_EQ(Staged(), QStringList{QStringLiteral("no Import2")});
    }
}

TEST_F(StagingImport, ACommaSeparatedListIsNamedAsSuch)
{
    struct Case {
        const char *what;
        QByteArray content;
        bool commaSeparated;
        bool imports = !commaSeparated;
    };
    const Case cases[] = {
        {"commas only", "#Vorwahl,Ziel,Preis\n0043,Österreich,0.015\n0049,Deutschland,0.01\n", true},
        {"quoted decimal commas", "#kvtpricelist\nList-ID: 1\n\n0043,Österreich,\"0,015\"\n", true},
        {"decimal commas between semicolons", "#Vorwahl;Ziel;Preis\n0043;Österreich;0,015\n", false},
        {"one line with a semicolon", "#Vorwahl\n0043,Österreich,0.015\n0044;UK;0,02\n", false},
        // Not one usable line, but no sign of commas either: refused for that.
        {"neither commas nor semicolons", "#Vorwahl\n0043\n", false, false},
        {"no data lines", "#Vorwahl,Ziel,Preis\n", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        messages_.messages.clear();
        EXPECT_EQ(Import(c.content), c.imports);
        if (!c.commaSeparated) {
            EXPECT_FALSE(messages_.Texts().join(u'\n').contains(QStringLiteral("Kommas")));
            EXPECT_EQ(messages_.messages.isEmpty(), c.imports);
            continue;
        }
        ASSERT_EQ(messages_.Texts().size(), 2);
        EXPECT_EQ(messages_.Texts().at(0), kFalscheDatei);
        EXPECT_EQ(messages_.Texts().at(1),
                  QStringLiteral("Fehler: Die Preisliste %1 ist offenbar durch Kommas getrennt: Keine Datenzeile "
                                 "enthält ein Semikolon. Die Felder müssen durch „;“ getrennt sein "
                                 "(Vorwahl;Ziel;Preis); bitte die Datei mit Semikolon als Trennzeichen speichern.")
                      .arg(tariff_.FilePath(QStringLiteral("preise.csv"))));
    }
}

TEST_F(StagingImport, MissingFileNamesFileAndReason)
{
    const QString path = tariff_.FilePath(QStringLiteral("fehlt.csv"));
    EXPECT_FALSE(ImportPath(path));
    EXPECT_EQ(messages_.Texts().value(0), kFalscheDatei);
    EXPECT_TRUE(messages_.Texts().value(1).contains(path));
    EXPECT_TRUE(messages_.Texts().value(1).contains(QStringLiteral("existiert nicht")));
}

TEST_F(StagingImport, HugeLinesAndManyFields)
{
    QByteArray manyFields = "1;viele;0,5";
    for (int i = 0; i < 10000; ++i)
        manyFields += ";x";
    const QByteArray tenMegabytes(10 * 1024 * 1024, 'z');
    ASSERT_TRUE(Import("#Vorwahl\n" + manyFields + "\n2;" + tenMegabytes + ";0,1\n" + tenMegabytes + "\n3;c;3\n"));
    EXPECT_EQ(Staged(), (QStringList{"1|viele|0.5", "2|NULL|0.1"}));
    EXPECT_EQ(Skipped(), (QStringList{QStringLiteral("4|zu wenige Felder (Vorwahl;Ziel;Preis)"),
                                      QStringLiteral("5|Preis von 3 € oder mehr")}));
}

TEST_F(StagingImport, StopEndsTheImport)
{
    EXPECT_FALSE(Import("#Vorwahl\n1;a;1\n", 1)); // before the file is even opened
    EXPECT_EQ(progress_.calls, 1);
    EXPECT_EQ(Staged(), QStringList{QStringLiteral("no Import2")});
    EXPECT_FALSE(Import("#Vorwahl\n1;a;1\n2;b;2\n3;c;3\n", 3));
    EXPECT_EQ(Staged(), QStringList{"1|a|1"});
    EXPECT_TRUE(messages_.messages.isEmpty());
}

// The lines are read ahead on a thread of their own: a stop far into a long
// list ends that reading too, and stores no line after the stop.
TEST_F(StagingImport, StopInALongListStoresTheLinesBeforeIt)
{
    QByteArray content = "#Vorwahl\n";
    for (int i = 0; i < 30000; ++i)
        content += QByteArray::number(100000 + i) + ";Ziel;0,1\n";
    EXPECT_FALSE(Import(content, 10002)); // the first call is the stage's start
    EXPECT_EQ(test::QueryRows(*connection_, QStringLiteral("SELECT COUNT(*), MIN(Vorwahl), MAX(Vorwahl) FROM Import2")),
              QStringList{"10000|100000|109999"});
    EXPECT_TRUE(messages_.messages.isEmpty());
}

TEST_F(StagingImport, ProgressFollowsTheReadPosition)
{
    QByteArray content = "#Vorwahl\n";
    for (int i = 0; i < 100; ++i)
        content += QByteArray::number(1000 + i) + ";Ziel;0,1\n";
    ASSERT_TRUE(Import(content));
    // On its own the import is the whole run: both values follow the file.
    int previous = 0;
    for (int i = 1; i + 1 < progress_.history.size(); ++i) {
        EXPECT_GE(progress_.history[i].first, previous);
        EXPECT_EQ(progress_.history[i].second, progress_.history[i].first);
        previous = progress_.history[i].first;
    }
    EXPECT_EQ(previous, 100);
    EXPECT_GT(progress_.history.size(), 50); // one call per line, not only start and end
}

TEST_F(StagingImport, TheStagingTableHasItsDocumentedShape)
{
    ASSERT_TRUE(Import("#Vorwahl\n1;a;1\n"));
    // The engine keeps the statement without the word TEMP.
    EXPECT_EQ(test::QueryValue(*connection_, QStringLiteral("SELECT sql FROM sqlite_temp_master WHERE name = 'Import2'"))
                      .toString()
                  + u';',
              QString(kCreateImport2Statement).replace(QStringLiteral("CREATE TEMP TABLE"), QStringLiteral("CREATE TABLE")));
    EXPECT_TRUE(test::QueryRows(*connection_, QStringLiteral("SELECT name FROM sqlite_master WHERE name = 'Import2'"))
                    .isEmpty());
}

struct SkipCase {
    const char *line;
    const char *reason; // nullptr: the line is imported
};

void PrintTo(const SkipCase &c, std::ostream *os) { *os << c.line; }

class SkipReasons : public testing::TestWithParam<SkipCase> {};

// Only a line with a numeric prefix and a price from 0 to below 3 € becomes a
// tariff row; anything else could only be sold at 0 or below, or was never
// a destination.
TEST_P(SkipReasons, OfADataLine)
{
    const QString line = QString::fromUtf8(GetParam().line);
    const std::optional<QString> reason = SkipReason(line, ParseCsvLine(line));
    if (GetParam().reason)
        EXPECT_EQ(reason.value_or(QStringLiteral("(imported)")), QString::fromUtf8(GetParam().reason));
    else
        EXPECT_EQ(reason, std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SkipReasons,
    testing::Values(SkipCase{"0043;A;0,0150", nullptr}, SkipCase{"0043;A;0.5 \u20ac", nullptr},
                    SkipCase{"0043;A; + 0,5", nullptr}, SkipCase{"0043;A;,5", nullptr},
                    SkipCase{"0800;Freecall;0", nullptr}, SkipCase{"0043;A;-0", nullptr},
                    SkipCase{"0043;A;2,9999", nullptr}, SkipCase{"0043;A;abc;x;0,2", nullptr},
                    SkipCase{"0043;A;", "Preis fehlt"}, SkipCase{"0043;A;  ", "Preis fehlt"},
                    SkipCase{"0043;A;abc", "Preis ist keine Zahl"},
                    SkipCase{"0043;A;\u20ac 5", "Preis ist keine Zahl"}, SkipCase{"0043;A;-", "Preis ist keine Zahl"},
                    SkipCase{"0043;A;-1", "Preis ist negativ"}, SkipCase{"0043;A;- 0,01", "Preis ist negativ"},
                    SkipCase{"0043;A;3", "Preis von 3 € oder mehr"},
                    SkipCase{"0043;A;1e400", "Preis von 3 € oder mehr"},
                    SkipCase{";A;0,1", "Vorwahl fehlt"}, SkipCase{"00 43x;A;0,1", "Vorwahl ist keine Zahl"},
                    SkipCase{"0043", "zu wenige Felder (Vorwahl;Ziel;Preis)"},
                    SkipCase{"0043;A", "zu wenige Felder (Vorwahl;Ziel;Preis)"},
                    SkipCase{"0043,A,0.1", "zu wenige Felder: Die Zeile ist mit „,“ getrennt, die Preisliste braucht „;“"}));

} // namespace
} // namespace preisliste
