#pragma once

#include "table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The ADTG TableGram: the persisted form of a record set in question files (".top" members), in
// the question set sent to a student's computer ("QuestionList.ADTG") and in result files. The
// layout is kept byte-compatible with what ADO writes for a flat table, so that a school's existing
// files load and files written here load there.
//
// Failures throw AppError with a message naming what is wrong and where.

// The base table a written TableGram names: every table the system persists is a set of questions.
inline constexpr QStringView AdtgDefaultTableName = u"Questions";

// A flat table of the column types the store uses, with all its rows. Throws when the table cannot
// be written: a null in a column that is not nullable, a value that does not fit its column (a text
// longer than the column's own width), names that are empty or repeated.
QByteArray WriteAdtg(const Table& table, QStringView baseTable = AdtgDefaultTableName);
// The same bytes written to a file completely or not at all.
void WriteAdtgFile(const Table& table, const QString& path, QStringView baseTable = AdtgDefaultTableName);

// Reads a TableGram as ADO writes it for a flat table: either bare (as saved to a file), ending at
// the last byte, or after the record-set wrapper of a network message, where the message's line end
// may follow. Hidden columns are left out; pending inserts, changes and deletions are applied. Text
// columns come back as wide as the file declares them, which for files written here is at least 256
// characters: the real widths are the store's.
Table ReadAdtg(QByteArrayView bytes);
Table ReadAdtgFile(const QString& path);
