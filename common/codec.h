#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the 8-bit code page of every text on the wire and in the system's files.
// Characters that Windows-1251 cannot hold become "?".
QByteArray toCp1251(const QString& text);
QString fromCp1251(const QByteArray& bytes);
QString fromCp1251(const char* data, qsizetype size);
// True when Windows-1251 holds the character (given as a Unicode code point).
bool canEncodeCp1251(char32_t codePoint);
