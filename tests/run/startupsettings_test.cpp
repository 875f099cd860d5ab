#include "run/startupsettings.h"

#include "common/telvorosettings.h"
#include "support/testsupport.h"

namespace preisliste {
namespace {

StartupSettings Load(const char *ini)
{
    return LoadSettings(TelvoroSettings::FromText(QString::fromUtf8(ini)), QStringLiteral("/home/shop"));
}

TEST(LoadSettings, DatabaseFolderWithAndWithoutTrailingSeparator)
{
    struct Case {
        const char *ini;
        const char *databaseFile;
    };
    const Case cases[] = {
        {"[Options]\nDB Path=/srv/telvoro\n", "/srv/telvoro/Numbers.mdb"},
        {"[Options]\nDB Path=/srv/telvoro/\n", "/srv/telvoro/Numbers.mdb"},
        {"[Options]\nDB Path=C:\\Telvoro\n", "C:\\Telvoro/Numbers.mdb"},
        {"[Options]\nDB Path=C:\\Telvoro\\\n", "C:\\Telvoro\\Numbers.mdb"},
        {"[Options]\nDB Path=\n", "/Numbers.mdb"}, // an empty folder is the root, without a message
    };
    for (const Case &c : cases) {
        const StartupSettings settings = Load(c.ini);
        EXPECT_EQ(settings.databaseFile, QString::fromUtf8(c.databaseFile)) << c.ini;
        EXPECT_FALSE(settings.databasePathMissing) << c.ini;
    }
}

TEST(LoadSettings, WithoutDatabasePathTheCurrentFolderIsUsed)
{
    const StartupSettings settings = Load("[Options]\nProviderAccountUserId=K4711\n");
    EXPECT_TRUE(settings.databasePathMissing);
    EXPECT_EQ(settings.databaseFile, QStringLiteral("/home/shop/Numbers.mdb"));
    EXPECT_EQ(settings.priceListFile, QStringLiteral("/home/shop/preise.csv"));
    EXPECT_EQ(settings.customerId, QStringLiteral("K4711"));
    EXPECT_EQ(Load("").customerId, QString());
}

} // namespace
} // namespace preisliste
