#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A student list file as the teacher brings it: plain text, one student per line in order, in
// UTF-8 when the bytes are valid UTF-8 and in Windows-1251 otherwise. An empty line is a student
// with an empty name; the line break after the last line adds nobody.
namespace StudentImport {

// A class list is a few kilobytes; anything far larger is not one.
inline constexpr qsizetype MaxFileBytes = 1024 * 1024;

// The text of the file's bytes: UTF-8 (without its byte-order mark) when valid, else Windows-1251.
QString DecodeText(const QByteArray& bytes);

// The names in file order. AppError naming the source and the line for a file that is too large,
// holds control characters (not a text file) or a line too long for a student's name.
QStringList ParseNames(const QByteArray& bytes, const QString& source);

} // namespace StudentImport
