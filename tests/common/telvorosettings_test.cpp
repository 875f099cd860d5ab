#include "common/telvorosettings.h"

#include "support/testsupport.h"

#include <QFile>

namespace preisliste {
namespace {

const QString kOptions = QStringLiteral("Options");

TEST(TelvoroSettings, ReadsKeysWithBlanksAndWindowsPaths)
{
    const auto settings = TelvoroSettings::FromText(QStringLiteral(
        "; Telvoro\r\n[Other]\r\nDB Path=wrong\r\n[Options]\r\n  DB Path = C:\\Telvoro\\Daten\\ \r\n"
        "MwSt=19,5\r\nProviderAccountUserId=\"K 4711\"\r\nEmpty=\r\n"));
    EXPECT_EQ(settings.ReadSetting(QStringLiteral("DB Path"), kOptions, QStringLiteral("#")),
              QStringLiteral("C:\\Telvoro\\Daten\\"));
    EXPECT_EQ(settings.ReadSetting(QStringLiteral("MwSt"), kOptions, {}), QStringLiteral("19,5"));
    EXPECT_EQ(settings.ReadSetting(QStringLiteral("ProviderAccountUserId"), kOptions, {}), QStringLiteral("K 4711"));
    EXPECT_EQ(settings.ReadSetting(QStringLiteral("Empty"), kOptions, QStringLiteral("#")), QString());
}

TEST(TelvoroSettings, MissingKeysSectionsAndFilesGiveTheDefault)
{
    const auto settings = TelvoroSettings::FromText(QStringLiteral("[options]\ndb path=/srv/telvoro\n"));
    EXPECT_EQ(settings.ReadSetting(QStringLiteral("DB Path"), kOptions, QStringLiteral("#")),
              QStringLiteral("/srv/telvoro"));
    EXPECT_EQ(settings.ReadSetting(QStringLiteral("MwSt"), kOptions, QStringLiteral("d")), QStringLiteral("d"));
    EXPECT_EQ(settings.ReadSetting(QStringLiteral("DB Path"), QStringLiteral("Other"), QStringLiteral("d")),
              QStringLiteral("d"));
    const auto noFile = TelvoroSettings::FromFile(QStringLiteral("/nonexistent/Telvoro.ini"));
    EXPECT_EQ(noFile.ReadSetting(QStringLiteral("MwSt"), kOptions, QStringLiteral("x")), QStringLiteral("x"));
}

TEST(TelvoroSettings, FileInWindows1252WithUmlauts)
{
    test::TempTariff folder;
    const QString path = folder.WriteFile(QStringLiteral("Telvoro.ini"),
                                          "[Options]\r\nDB Path=D:\\Tarife \xDC" "bersee\r\n");
    EXPECT_EQ(TelvoroSettings::FromFile(path).ReadSetting(QStringLiteral("DB Path"), kOptions, {}),
              QString::fromUtf16(u"D:\\Tarife Übersee"));
}

TEST(TelvoroSettings, LocatesTheFile)
{
    EXPECT_EQ(TelvoroSettings::LocateFile(QStringLiteral("/x/T.ini")), QStringLiteral("/x/T.ini"));
    qputenv("TELVORO_SETTINGS", "/env/T.ini");
    EXPECT_EQ(TelvoroSettings::LocateFile(), QStringLiteral("/env/T.ini"));
    qunsetenv("TELVORO_SETTINGS");
    EXPECT_TRUE(TelvoroSettings::LocateFile().endsWith(QStringLiteral("/Telvoro/Telvoro.ini")));
}

} // namespace
} // namespace preisliste
