#pragma once

#include <QByteArrayView>
#include <QString>

namespace preisliste {

enum class TextEncoding { Utf8, Windows1252 };

// A file that is valid UTF-8 throughout is UTF-8; anything else was written
// in the Windows ANSI code page the price lists have always used.
TextEncoding DetectEncoding(QByteArrayView bytes);
bool IsValidUtf8(QByteArrayView bytes);
bool HasUtf8Bom(QByteArrayView bytes);

QString DecodeText(QByteArrayView bytes, TextEncoding encoding);

} // namespace preisliste
