#pragma once

#include "table.h"

#include <QByteArray>

// A table as JSON text, for tools and test fixtures:
//     {"columns":[{"name":"QueID","type":"int","key":true,"autoIncrement":true,"nullable":false},
//                 {"name":"Ans1","type":"text","size":255}, ...],
//      "rows":[[12,"Да?",true,null,"Qk0..."], ...]}
// Column types: int, bool, double, text (size in characters, 255 when left out), memo, binary (values in
// base64) and date (values as ISO 8601 text, local wall-clock time). null is a null value. The flags
// nullable (default true), key and autoIncrement (default false) are written only where they differ
// from their defaults. Output is UTF-8, one column and one row per line, so that it compares as text.
QByteArray TableToJson(const Table& table);
// Throws AppError naming what is wrong when the text is not such a table.
Table TableFromJson(const QByteArray& json);
