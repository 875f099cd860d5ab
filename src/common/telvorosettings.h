#pragma once

#include <QHash>
#include <QString>

namespace preisliste {

// Telvoro's own settings, read from its INI file. Nothing is ever written.
// Sections and keys compare without regard to letter case, as on Windows;
// keys may contain blanks ("DB Path"); values are taken as written, with one
// pair of enclosing double quotes removed.
class TelvoroSettings {
public:
    TelvoroSettings() = default; // no file: every key answers its default
    static TelvoroSettings FromFile(const QString &iniPath);
    static TelvoroSettings FromText(const QString &iniText);

    // The file used when none is named: `explicitPath`, else $TELVORO_SETTINGS,
    // else Telvoro/Telvoro.ini in the user's configuration directory.
    static QString LocateFile(const QString &explicitPath = {});

    QString ReadSetting(const QString &key, const QString &section, const QString &defaultValue) const;

    const QString &FilePath() const { return filePath_; }

private:
    QString filePath_;
    QHash<QString, QString> values_; // "section\nkey", both case-folded
};

} // namespace preisliste
