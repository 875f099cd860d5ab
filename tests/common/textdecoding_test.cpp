#include "common/textdecoding.h"

#include "support/testsupport.h"

namespace preisliste {
namespace {

TEST(TextDecoding, ValidUtf8IsUtf8)
{
    EXPECT_EQ(DetectEncoding("plain ascii"), TextEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("\xC3\x96sterreich"), TextEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF#Vorwahl"), TextEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("\xF0\x9F\x98\x80"), TextEncoding::Utf8);
    EXPECT_EQ(DecodeText("T\xC3\xBCrkei", TextEncoding::Utf8), QStringLiteral("Türkei"));
}

TEST(TextDecoding, AnythingElseIsWindows1252)
{
    const char *invalid[] = {"\xD6sterreich", "\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "abc\xE2\x82"};
    for (const char *bytes : invalid)
        EXPECT_EQ(DetectEncoding(bytes), TextEncoding::Windows1252) << bytes;
    EXPECT_EQ(DecodeText("\xD6sterreich \x80 \x9F \x81", TextEncoding::Windows1252),
              QString::fromUtf16(u"Österreich € Ÿ \u0081"));
}

TEST(TextDecoding, LongAsciiRunsWithOneBadByteAtTheEnd)
{
    QByteArray bytes(1000, 'a');
    EXPECT_TRUE(IsValidUtf8(bytes));
    bytes.append('\xFF');
    EXPECT_FALSE(IsValidUtf8(bytes));
}

} // namespace
} // namespace preisliste
