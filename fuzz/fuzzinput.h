#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

// The readers under test take files: each input is written to one file in a
// folder that lives as long as the fuzzer. Empty when it cannot be written.
inline QString WriteFuzzInput(const std::uint8_t *data, std::size_t size, const QString &fileName)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    return path;
}
