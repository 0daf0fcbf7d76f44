#pragma once

#include <QString>
#include <QStringList>

// The fixed texts of sqltexts.h are in the dialect the question bank has always been addressed
// in. SQLite reads most of them as they are; this step adapts the rest just before they run:
//  - a table-qualified column on the left of SET ("SET Questions.QueType = 0") loses its table;
//  - a chain "c=1 OR c=2 OR ..." of one column against numbers becomes "c IN (1,2,...)", so that
//    lists longer than SQLite's expression depth (1000) still run, at the speed of one IN;
//  - "Date LIKE \"<short date>%\"" compares the ISO 8601 text the store keeps dates in;
//  - "INSERT INTO T IN \"file\" SELECT * FROM S" becomes an insert into the attached file;
//  - ORDER BY sorts text in the store's collation (sqlitefunctions.h), so it must run on a
//    connection that RegisterStoreFunctions has prepared (every StoreConnection is).
struct DialectStatement
{
    QString sql;
    // Set for an insert into a table of another database file: the executor attaches the file
    // under ExternalSchema, names the source's columns, runs sql and detaches it again.
    QString externalPath;
    QString externalTable;
    QString sourceTable;
};

inline constexpr char ExternalSchema[] = "vastrel_external";

DialectStatement ToSqliteDialect(const QString& text);

// Fills the printf-style markers of a fixed text (%S %s %D %d, in order) with the values given.
// Throws AppError when the count of markers and values differ.
QString SqlFormat(const QString& text, const QStringList& values);
