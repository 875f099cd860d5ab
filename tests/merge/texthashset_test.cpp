#include "merge/texthashset.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>

namespace preisliste::test {
namespace {

TEST(TextHashSet, AnEmptySetHoldsNothing)
{
    const TextHashSet set;
    EXPECT_FALSE(set.MayContain(""));
    EXPECT_FALSE(set.MayContain("0049"));
}

// The texts the merge asks for: prefixes and folded names, the empty text,
// bytes after a zero, texts that differ in one byte or in length only.
TEST(TextHashSet, FindsEveryTextAddedAndNoOther)
{
    const QByteArray withZero("00\0" "49", 5);
    const QList<QByteArray> added = {"", "0049", "00491", "österreich mobil", withZero};
    const QList<QByteArray> others = {"0", "004", "0049 ", "00492", "Österreich Mobil", QByteArray("00\0" "48", 5),
                                      QByteArray("00", 2)};
    TextHashSet set;
    for (const QByteArray &text : added)
        set.Insert(text);
    for (const QByteArray &text : added)
        EXPECT_TRUE(set.MayContain(text)) << text.toStdString();
    for (const QByteArray &text : others)
        EXPECT_FALSE(set.MayContain(text)) << text.toStdString();
}

// A million-row list asks with many texts; the table grows as they come,
// keeps each once and finds all of them afterwards.
TEST(TextHashSet, KeepsEveryTextThroughItsGrowth)
{
    TextHashSet set;
    constexpr int kTexts = 100000;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kTexts; ++i)
            set.Insert(QByteArray::number(i));
    }
    EXPECT_EQ(set.Size(), std::size_t(kTexts));
    int found = 0;
    int strangers = 0;
    for (int i = 0; i < 2 * kTexts; ++i)
        (i < kTexts ? found : strangers) += set.MayContain(QByteArray::number(i)) ? 1 : 0;
    EXPECT_EQ(found, kTexts);
    EXPECT_EQ(strangers, 0);
}

// Past its bound the set gives up keeping texts and lets every text
// through; the texts added before still count as held, and so do others.
TEST(TextHashSet, BeyondItsBoundAnswersYesToEveryText)
{
    TextHashSet set;
    for (std::size_t i = 0; i < TextHashSet::kMostTexts; ++i)
        set.Insert(QByteArray::number(qulonglong(i)));
    set.Insert("0"); // held already: no text more
    EXPECT_FALSE(set.HoldsTooMany());
    EXPECT_FALSE(set.MayContain("fremd"));
    set.Insert("fremd");
    EXPECT_TRUE(set.HoldsTooMany());
    EXPECT_TRUE(set.MayContain("0"));
    EXPECT_TRUE(set.MayContain("anders"));
}

} // namespace
} // namespace preisliste::test
