#include "pricelist/pricelistdownload.h"

#include "support/httptestserver.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

namespace preisliste::test {
namespace {

using namespace std::chrono_literals;

const QByteArray kListBody = "#kvtpricelist\r\n"
                             "List-ID: 5f0c2a4e-list\r\n"
                             "List-Sequence: 42\r\n"
                             "Effective: 01.03.2011 00:00\r\n"
                             "\r\n"
                             "0049;Deutschland Festnetz;0,0125\r\n";

// Every test has a server of its own and a temporary folder of its own, so
// the files a download leaves can be counted.
class DownloadListTest : public ::testing::Test {
protected:
    QStringList TempFiles() const
    {
        return QDir(tempDir_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    static QByteArray FileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    HttpTestServer server_;
    QTemporaryDir tempDir_;
    ScopedEnvironment tmpdir_{"TMPDIR", tempDir_.path()};
    ScopedEnvironment address_{"PREISLISTE_SERVER", server_.Address()};
};

TEST_F(DownloadListTest, NewObjectStartsWithZeroDateAndEmptyValues)
{
    const PriceListDownload download;
    EXPECT_EQ(download.EffectiveDate(), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_EQ(download.Sequence(), 0);
    EXPECT_TRUE(download.GUID().isEmpty());
    EXPECT_FALSE(download.IsValid());
    EXPECT_FALSE(download.HasData());
    EXPECT_TRUE(download.TempFileName().isEmpty());
}

TEST_F(DownloadListTest, FullDownloadKeepsTheListInAPrivateTemporaryFile)
{
    server_.Respond(200, kListBody);
    PriceListDownload download;
    ASSERT_TRUE(download.DownloadList(QStringLiteral("12345"), false)) << download.FailureText().toStdString();

    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=12345&head=0 HTTP/1.1")});
    EXPECT_TRUE(download.IsValid());
    EXPECT_TRUE(download.HasData());
    EXPECT_EQ(download.GUID(), QStringLiteral("5f0c2a4e-list"));
    EXPECT_EQ(download.Sequence(), 42);
    EXPECT_EQ(download.EffectiveDate(), QDateTime(QDate(2011, 3, 1), QTime(0, 0)));

    const QFileInfo file(download.TempFileName());
    EXPECT_EQ(file.absolutePath(), QFileInfo(tempDir_.path()).absoluteFilePath());
    EXPECT_TRUE(file.fileName().startsWith(QStringLiteral(".kvt")));
    EXPECT_EQ(file.permissions() & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                    | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                    | QFile::WriteOther | QFile::ExeOther),
              QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(FileBytes(download.TempFileName()), kListBody);
    EXPECT_EQ(TempFiles().size(), 1);
}

TEST_F(DownloadListTest, EveryDownloadGetsANewFile)
{
    server_.Respond(200, kListBody);
    PriceListDownload first;
    PriceListDownload second;
    ASSERT_TRUE(first.DownloadList(QStringLiteral("1"), false));
    ASSERT_TRUE(second.DownloadList(QStringLiteral("1"), false));
    EXPECT_NE(first.TempFileName(), second.TempFileName());
    EXPECT_EQ(TempFiles().size(), 2);
}

TEST_F(DownloadListTest, HeaderOnlyRequestAsksForTheHeadAndLeavesNoFile)
{
    server_.Respond(200, "#kvtpricelist\nList-ID: abc\nList-Sequence: 3\nEffective: 2011-03-01\n\n");
    PriceListDownload download;
    ASSERT_TRUE(download.DownloadList(QStringLiteral("12345"), true));
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=12345&head=1 HTTP/1.1")});
    EXPECT_TRUE(download.IsValid());
    EXPECT_TRUE(download.TempFileName().isEmpty());
    EXPECT_EQ(download.GUID(), QStringLiteral("abc"));
    EXPECT_EQ(download.Sequence(), 3);
    EXPECT_TRUE(TempFiles().isEmpty());

    server_.Respond(200, "<html>Fehler</html>");
    PriceListDownload rejected;
    EXPECT_FALSE(rejected.DownloadList(QStringLiteral("12345"), true));
    EXPECT_TRUE(TempFiles().isEmpty());
}

struct CustomerIdCase {
    const char *name;
    QString customerId;
    const char *query;
};

void PrintTo(const CustomerIdCase &c, std::ostream *os) { *os << c.name; }

class CustomerIdEncoding : public DownloadListTest, public ::testing::WithParamInterface<CustomerIdCase> {};

TEST_P(CustomerIdEncoding, CannotChangeTheRequest)
{
    server_.Respond(200, kListBody);
    PriceListDownload download;
    ASSERT_TRUE(download.DownloadList(GetParam().customerId, false));
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?%1 HTTP/1.1").arg(QLatin1String(GetParam().query))});
}

INSTANTIATE_TEST_SUITE_P(
    Download, CustomerIdEncoding,
    ::testing::Values(CustomerIdCase{"Blanks", QStringLiteral("12 34"), "custid=12%2034&head=0"},
                      CustomerIdCase{"Ampersand", QStringLiteral("A&head=1"), "custid=A%26head%3D1&head=0"},
                      CustomerIdCase{"HashAndPlus", QStringLiteral("#1+2"), "custid=%231%2B2&head=0"},
                      CustomerIdCase{"Umlaut", QStringLiteral("Müller"), "custid=M%C3%BCller&head=0"},
                      CustomerIdCase{"Empty", QString(), "custid=&head=0"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(DownloadListTest, ServerAddressMayEndWithASlash)
{
    const ScopedEnvironment address("PREISLISTE_SERVER", server_.Address() + u'/');
    server_.Respond(200, kListBody);
    PriceListDownload download;
    ASSERT_TRUE(download.DownloadList(QStringLiteral("7"), false));
    EXPECT_EQ(server_.RequestLines(),
              QStringList{QStringLiteral("GET /kvtedx/getpricelist.php?custid=7&head=0 HTTP/1.1")});
}

// The stored file and the result of the header check for one answer body.
struct StoreCase {
    const char *name;
    QByteArray body;
    QByteArray stored;
    bool result;
    bool hasData;
};

void PrintTo(const StoreCase &c, std::ostream *os) { *os << c.name; }

class StoredAnswer : public DownloadListTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(StoredAnswer, IsKeptWithCrLfAndChecked)
{
    const StoreCase &c = GetParam();
    server_.Respond(200, c.body);
    PriceListDownload download;
    EXPECT_EQ(download.DownloadList(QStringLiteral("1"), false), c.result) << download.FailureText().toStdString();
    EXPECT_TRUE(download.IsValid());
    ASSERT_FALSE(download.TempFileName().isEmpty());
    EXPECT_EQ(FileBytes(download.TempFileName()), c.stored);
    EXPECT_EQ(download.HasData(), c.hasData);
}

INSTANTIATE_TEST_SUITE_P(
    Download, StoredAnswer,
    ::testing::Values(
        StoreCase{"LfLineEnds", "#kvtpricelist\nList-ID: a\n\n49;X;0,1\n",
                  "#kvtpricelist\r\nList-ID: a\r\n\r\n49;X;0,1\r\n", true, true},
        StoreCase{"CrLfLineEndsUnchanged", "#kvtpricelist\r\nList-ID: a\r\n\r\n49;X;0,1\r\n",
                  "#kvtpricelist\r\nList-ID: a\r\n\r\n49;X;0,1\r\n", true, true},
        StoreCase{"MixedLineEnds", "#kvtpricelist\r\n\n49;X;0,1", "#kvtpricelist\r\n\r\n49;X;0,1", true, true},
        // A lone CR stays in the file; the header check, like the import, drops it.
        StoreCase{"LoneCrStays", "#kvtpricelist\rList-ID: a\r\n\r\n", "#kvtpricelist\rList-ID: a\r\n\r\n", true,
                  false},
        StoreCase{"LfAsFirstByte", "\n#kvtpricelist\n", "\r\n#kvtpricelist\r\n", false, false},
        StoreCase{"EmptyBody", "", "", false, false},
        StoreCase{"HeaderOnly", "#kvtpricelist\r\nList-ID: a\r\n\r\n", "#kvtpricelist\r\nList-ID: a\r\n\r\n", true,
                  false},
        StoreCase{"HeaderAndOneDataLine", "#kvtpricelist\r\nList-ID: a\r\n\r\n49;X;0,1\r\n",
                  "#kvtpricelist\r\nList-ID: a\r\n\r\n49;X;0,1\r\n", true, true},
        StoreCase{"HeaderWithoutBlankLine", "#kvtpricelist\r\nList-ID: a\r\n", "#kvtpricelist\r\nList-ID: a\r\n",
                  true, false},
        // Without any line end there is no line, as for the import.
        StoreCase{"MagicLineAlone", "#kvtpricelist", "#kvtpricelist", false, false},
        // A line of blanks ends the header, as for the import.
        StoreCase{"HeaderClosedByBlanks", "#kvtpricelist\r\nList-ID: a\r\n   \r\n49;X;0,1\r\n",
                  "#kvtpricelist\r\nList-ID: a\r\n   \r\n49;X;0,1\r\n", true, true},
        StoreCase{"BlanksThenEmptyLine", "#kvtpricelist\r\n  \r\n49;X;0,1\r\n\r\n50;Y;0,2\r\n",
                  "#kvtpricelist\r\n  \r\n49;X;0,1\r\n\r\n50;Y;0,2\r\n", true, true},
        // The first line begins with the marker in any letter case, as for the import.
        StoreCase{"MagicInCapitals", "#KVTPRICELIST\r\n\r\n49;X;0,1\r\n", "#KVTPRICELIST\r\n\r\n49;X;0,1\r\n",
                  true, true},
        StoreCase{"MagicWithMoreText", "#kvtpricelist v2\r\n\r\n49;X;0,1\r\n",
                  "#kvtpricelist v2\r\n\r\n49;X;0,1\r\n", true, true},
        StoreCase{"PlainCsvList", "#Vorwahl;Ziel;Preis\n49;X;0,1\n", "#Vorwahl;Ziel;Preis\r\n49;X;0,1\r\n", false,
                  false},
        StoreCase{"ErrorPageWithStatus200", "<html><body>Kunde unbekannt</body></html>",
                  "<html><body>Kunde unbekannt</body></html>", false, false}),
    [](const auto &info) { return std::string(info.param.name); });

// What the header check makes of the header lines between the magic line
// and the blank line; one data line follows every header.
struct HeaderCase {
    const char *name;
    QByteArray lines;
    bool result;
    QDateTime effective;
    qint32 sequence;
    QString guid;
};

void PrintTo(const HeaderCase &c, std::ostream *os) { *os << c.name; }

class HeaderCheck : public DownloadListTest, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(HeaderCheck, ReadsTheKnownKeys)
{
    const HeaderCase &c = GetParam();
    server_.Respond(200, "#kvtpricelist\r\n" + c.lines + "\r\n\r\n49;X;0,1\r\n");
    PriceListDownload download;
    EXPECT_EQ(download.DownloadList(QStringLiteral("1"), false), c.result);
    EXPECT_TRUE(download.IsValid());
    EXPECT_EQ(download.HasData(), c.result);
    EXPECT_EQ(download.EffectiveDate(), c.effective);
    EXPECT_EQ(download.Sequence(), c.sequence);
    EXPECT_EQ(download.GUID(), c.guid);
    if (!c.result) {
        EXPECT_EQ(download.Failure(), DownloadFailure::BadHeader);
    }
}

const QDateTime kZero = PriceListDownload::ZeroDate();
const QDateTime kMarch = QDateTime(QDate(2011, 3, 1), QTime(0, 0));

INSTANTIATE_TEST_SUITE_P(
    Download, HeaderCheck,
    ::testing::Values(
        HeaderCase{"AllThreeKeys", "Effective: 01.03.2011\r\nList-Sequence: 42\r\nList-ID: {abc}", true, kMarch, 42,
                   QStringLiteral("{abc}")},
        HeaderCase{"NoSpaceAfterColon", "List-Sequence:42\r\nList-ID:abc\r\nEffective:01.03.2011", true, kMarch, 42,
                   QStringLiteral("abc")},
        HeaderCase{"KeysInOtherCaseIgnored", "list-id: abc\r\nLIST-SEQUENCE: 5\r\neffective: 01.03.2011", true, kZero,
                   0, QString()},
        HeaderCase{"SpaceBeforeColonIgnored", "List-ID : abc\r\nList-Sequence : 5\r\nEffective : 01.03.2011", true,
                   kZero, 0, QString()},
        HeaderCase{"ValueBlanksTrimmed", "List-ID:    abc def   ", true, kZero, 0, QStringLiteral("abc def")},
        HeaderCase{"ValueKeepsFurtherColons", "List-ID: urn:list:7\r\nEffective: 01.03.2011 13:45:10", true,
                   QDateTime(QDate(2011, 3, 1), QTime(13, 45, 10)), 0, QStringLiteral("urn:list:7")},
        HeaderCase{"RepeatedKeyOverwrites", "List-Sequence: 1\r\nList-Sequence: 2", true, kZero, 2, QString()},
        HeaderCase{"LinesWithoutColonSkipped", "Kommentar\r\nList-ID: a", true, kZero, 0, QStringLiteral("a")},
        HeaderCase{"NegativeSequence", "List-Sequence: -3", true, kZero, -3, QString()},
        HeaderCase{"EffectiveNotADate", "List-ID: a\r\nEffective: morgen\r\nList-Sequence: 7", false, kZero, 0,
                   QStringLiteral("a")},
        HeaderCase{"EffectiveEmpty", "Effective:", false, kZero, 0, QString()},
        HeaderCase{"SequenceNotANumber", "Effective: 01.03.2011\r\nList-Sequence: zwölf", false, kMarch, 0,
                   QString()},
        HeaderCase{"SequenceWithDecimals", "List-Sequence: 4.5", false, kZero, 0, QString()},
        HeaderCase{"SequenceBeyond32Bits", "List-Sequence: 3000000000", false, kZero, 0, QString()}),
    [](const auto &info) { return std::string(info.param.name); });

struct DateCase {
    const char *name;
    QString text;
    QDateTime expected; // invalid: not a date
};

void PrintTo(const DateCase &c, std::ostream *os) { *os << c.name; }

class EffectiveDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(EffectiveDate, AcceptsGermanAndIsoForms)
{
    const std::optional<QDateTime> parsed = ParseEffectiveDate(GetParam().text);
    if (!GetParam().expected.isValid()) {
        EXPECT_FALSE(parsed.has_value()) << parsed->toString(Qt::ISODate).toStdString();
        return;
    }
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Download, EffectiveDate,
    ::testing::Values(
        DateCase{"GermanDate", QStringLiteral("01.03.2011"), kMarch},
        DateCase{"GermanMinutes", QStringLiteral("01.03.2011 00:00"), kMarch},
        DateCase{"GermanSeconds", QStringLiteral("01.03.2011 00:00:00"), kMarch},
        DateCase{"GermanShort", QStringLiteral("1.3.2011 7:05"), QDateTime(QDate(2011, 3, 1), QTime(7, 5))},
        DateCase{"IsoDate", QStringLiteral("2011-03-01"), kMarch},
        DateCase{"IsoWithT", QStringLiteral("2011-03-01T00:00:00"), kMarch},
        DateCase{"IsoWithBlank", QStringLiteral("2011-03-01 00:00:00"), kMarch},
        DateCase{"IsoMinutes", QStringLiteral("2011-03-01T13:45"), QDateTime(QDate(2011, 3, 1), QTime(13, 45))},
        DateCase{"IsoUtc", QStringLiteral("2011-03-01T12:00:00Z"),
                 QDateTime(QDate(2011, 3, 1), QTime(12, 0), Qt::UTC)},
        DateCase{"NoSuchDay", QStringLiteral("31.02.2011"), QDateTime()},
        DateCase{"NoSuchHour", QStringLiteral("01.03.2011 25:00"), QDateTime()},
        DateCase{"NoSuchMonth", QStringLiteral("2011-13-01"), QDateTime()},
        DateCase{"Words", QStringLiteral("morgen"), QDateTime()},
        DateCase{"Empty", QString(), QDateTime()}),
    [](const auto &info) { return std::string(info.param.name); });

// Failed requests: false, nothing stored, nothing left behind.
void ExpectNothingStored(const PriceListDownload &download)
{
    EXPECT_FALSE(download.IsValid());
    EXPECT_TRUE(download.TempFileName().isEmpty());
    EXPECT_FALSE(download.FailureText().isEmpty());
}

TEST_F(DownloadListTest, StatusOtherThan200StoresNothing)
{
    for (const int status : {404, 500, 204}) {
        SCOPED_TRACE(status);
        server_.Respond(status, kListBody);
        PriceListDownload download;
        EXPECT_FALSE(download.DownloadList(QStringLiteral("K1"), false));
        ExpectNothingStored(download);
        EXPECT_EQ(download.Failure(), DownloadFailure::HttpStatus);
        EXPECT_EQ(download.HttpStatus(), status);
        EXPECT_TRUE(download.FailureText().contains(QStringLiteral("„K1“")));
    }
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(DownloadListTest, ServerThatNeverAnswersTimesOut)
{
    server_.NeverAnswer();
    PriceListDownload download(DownloadLimits{.timeout = 300ms});
    EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false));
    ExpectNothingStored(download);
    EXPECT_EQ(download.Failure(), DownloadFailure::TimedOut);
    EXPECT_EQ(server_.RequestLines().size(), 1);
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(DownloadListTest, StopEndsTheWaitForTheServer)
{
    server_.NeverAnswer();
    StopSwitch stop;
    QTimer::singleShot(200ms, [&stop] { stop.RequestStop(); });
    // With a time-out of a minute, only the stop can end this download.
    PriceListDownload download(DownloadLimits{.timeout = 60s});
    EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false, &stop));
    ExpectNothingStored(download);
    EXPECT_EQ(download.Failure(), DownloadFailure::Stopped);
}

TEST_F(DownloadListTest, StopRequestedBeforehandSendsNothing)
{
    StopSwitch stop;
    stop.RequestStop();
    server_.Respond(200, kListBody);
    PriceListDownload download;
    EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false, &stop));
    EXPECT_EQ(download.Failure(), DownloadFailure::Stopped);
    EXPECT_TRUE(server_.RequestLines().isEmpty());
}

TEST_F(DownloadListTest, RefusedConnectionIsAFalseResult)
{
    const ScopedEnvironment address("PREISLISTE_SERVER", QStringLiteral("http://127.0.0.1:%1").arg(UnusedPort()));
    PriceListDownload download;
    EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false));
    ExpectNothingStored(download);
    EXPECT_EQ(download.Failure(), DownloadFailure::NotReachable);
    EXPECT_TRUE(download.FailureText().contains(QStringLiteral("nicht erreichbar")));
}

TEST_F(DownloadListTest, ServerAddressMustBeHttpOrHttps)
{
    for (const QString &address : {QStringLiteral("ftp://127.0.0.1"), QStringLiteral("127.0.0.1:8080"),
                                  QStringLiteral("http://")}) {
        SCOPED_TRACE(address.toStdString());
        const ScopedEnvironment server("PREISLISTE_SERVER", address);
        PriceListDownload download;
        EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false));
        EXPECT_EQ(download.Failure(), DownloadFailure::InvalidServer);
    }
    EXPECT_TRUE(server_.RequestLines().isEmpty());
}

TEST_F(DownloadListTest, AnnouncedOversizedAnswerIsRefused)
{
    server_.RespondRaw("HTTP/1.1 200 OK\r\nContent-Length: 314572800\r\nConnection: close\r\n\r\n#kvtpricelist\r\n");
    PriceListDownload download;
    EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false));
    ExpectNothingStored(download);
    EXPECT_EQ(download.Failure(), DownloadFailure::TooLarge);
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(DownloadListTest, AnswerGrowingBeyondTheLimitIsRefused)
{
    // No Content-Length: the answer ends when the server closes.
    const QByteArray header = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
    const QByteArray withinLimit = "#kvtpricelist\r\n\r\n" + QByteArray(1000 - 17, 'x');
    ASSERT_EQ(withinLimit.size(), 1000);

    server_.RespondRaw(header + withinLimit);
    PriceListDownload atLimit(DownloadLimits{.maxResponseBytes = 1000});
    EXPECT_TRUE(atLimit.DownloadList(QStringLiteral("1"), false)) << atLimit.FailureText().toStdString();

    server_.RespondRaw(header + withinLimit + 'x');
    PriceListDownload overLimit(DownloadLimits{.maxResponseBytes = 1000});
    EXPECT_FALSE(overLimit.DownloadList(QStringLiteral("1"), false));
    ExpectNothingStored(overLimit);
    EXPECT_EQ(overLimit.Failure(), DownloadFailure::TooLarge);
    EXPECT_EQ(TempFiles().size(), 1);
}

TEST_F(DownloadListTest, ConnectionBrokenMidAnswerStoresNothing)
{
    server_.RespondRaw("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n#kvtpricelist\r\n\r\n49;X;0,1\r\n");
    PriceListDownload download;
    EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false));
    ExpectNothingStored(download);
    EXPECT_EQ(download.Failure(), DownloadFailure::Incomplete);
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(DownloadListTest, FailedSecondDownloadClearsFileButKeepsHeaderValues)
{
    server_.Respond(200, kListBody);
    PriceListDownload download;
    ASSERT_TRUE(download.DownloadList(QStringLiteral("1"), false));
    server_.Respond(404, "weg");
    EXPECT_FALSE(download.DownloadList(QStringLiteral("1"), false));
    EXPECT_FALSE(download.IsValid());
    EXPECT_TRUE(download.TempFileName().isEmpty());
    EXPECT_EQ(download.Sequence(), 42);
    EXPECT_EQ(download.EffectiveDate(), kMarch);
}

TEST_F(DownloadListTest, WorksOnThreadsWithoutAnEventLoop)
{
    server_.Respond(200, kListBody);
    bool qtThreadResult = false;
    std::unique_ptr<QThread> qtThread(QThread::create([&] {
        PriceListDownload download;
        qtThreadResult = download.DownloadList(QStringLiteral("1"), false) && download.HasData();
    }));
    qtThread->start();
    ASSERT_TRUE(qtThread->wait(QDeadlineTimer(60s)));
    EXPECT_TRUE(qtThreadResult);

    bool plainThreadResult = false;
    std::thread plainThread([&] {
        PriceListDownload download;
        plainThreadResult = download.DownloadList(QStringLiteral("1"), false) && download.HasData();
    });
    plainThread.join();
    EXPECT_TRUE(plainThreadResult);
}

} // namespace
} // namespace preisliste::test
