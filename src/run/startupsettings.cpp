#include "run/startupsettings.h"

#include "common/telvorosettings.h"

namespace preisliste {

namespace {

const QString kOptions = QStringLiteral("Options");
const QString kMissing = QStringLiteral("#");

QString WithTrailingSeparator(QString folder)
{
    // Folders written on Windows end in "\"; both separators are accepted.
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += u'/';
    return folder;
}

} // namespace

StartupSettings LoadSettings(const TelvoroSettings &settings, const QString &currentDirectory)
{
    StartupSettings result;
    const QString folder = settings.ReadSetting(QStringLiteral("DB Path"), kOptions, kMissing);
    if (folder == kMissing) {
        result.databasePathMissing = true;
        result.databaseFile = WithTrailingSeparator(currentDirectory) + kDatabaseFileName;
    } else {
        result.databaseFile = WithTrailingSeparator(folder) + kDatabaseFileName;
    }
    result.priceListFile = WithTrailingSeparator(currentDirectory) + QStringLiteral("preise.csv");
    result.customerId = settings.ReadSetting(QStringLiteral("ProviderAccountUserId"), kOptions, QString());
    return result;
}

} // namespace preisliste
