#include "common/telvorosettings.h"

#include "common/textdecoding.h"

#include <QFile>
#include <QStandardPaths>

namespace preisliste {

namespace {

QString LookupKey(const QString &section, const QString &key)
{
    return section.trimmed().toCaseFolded() + u'\n' + key.trimmed().toCaseFolded();
}

QString Unquoted(QString value)
{
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        return value.mid(1, value.size() - 2);
    return value;
}

} // namespace

TelvoroSettings TelvoroSettings::FromText(const QString &iniText)
{
    TelvoroSettings settings;
    QString section;
    const auto lines = QStringView(iniText).split(u'\n');
    for (QStringView line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            section = line.mid(1, close < 0 ? -1 : close - 1).toString();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString lookup = LookupKey(section, line.left(equals).toString());
        // The first occurrence wins, as with Windows' profile functions.
        if (!settings.values_.contains(lookup))
            settings.values_.insert(lookup, Unquoted(line.mid(equals + 1).trimmed().toString()));
    }
    return settings;
}

TelvoroSettings TelvoroSettings::FromFile(const QString &iniPath)
{
    QFile file(iniPath);
    TelvoroSettings settings;
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray bytes = file.readAll();
        if (HasUtf8Bom(bytes))
            bytes.remove(0, 3);
        settings = FromText(DecodeText(bytes, DetectEncoding(bytes)));
    }
    settings.filePath_ = iniPath;
    return settings;
}

QString TelvoroSettings::LocateFile(const QString &explicitPath)
{
    if (!explicitPath.isEmpty())
        return explicitPath;
    const QString fromEnvironment = qEnvironmentVariable("TELVORO_SETTINGS");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Telvoro/Telvoro.ini");
}

QString TelvoroSettings::ReadSetting(const QString &key, const QString &section,
                                     const QString &defaultValue) const
{
    return values_.value(LookupKey(section, key), defaultValue);
}

} // namespace preisliste
