#pragma once

#include <QByteArray>
#include <QString>

// Windows-1250, the byte form of texts in records and station messages.
namespace Cp1250 {

// Characters without a Windows-1250 byte become '?'.
QByteArray Encode(const QString& text);
QString Decode(const QByteArray& bytes);
QString Decode(const char* data, qsizetype size);
// The byte of one character, or 0 when it has none.
unsigned char ByteOf(QChar c);

} // namespace Cp1250
