#pragma once

#include "archivequery.h"

#include <QStringList>

class StoreConnection;

// Opens the program folder's store; AppError when there is none.
void OpenProgramStore(StoreConnection& store);

// The archive's filter options of the tool's commands: --class NAME, --date YYYY-MM-DD,
// --student NAME, --topic NAME (names as stored, each naming exactly one row).
struct ArchiveOptions
{
    ArchiveFilter filter;
    QString studentName; // as given with --student
};
// Takes those options (with their values) out of args and leaves the others; AppError for a
// missing value, a bad date or a name that matches no row or several.
ArchiveOptions TakeArchiveOptions(StoreConnection& store, QStringList* args);

// The id of the one row whose name column equals name; AppError when there is none or several.
int IdByName(StoreConnection& store, const char* sql, const QString& idColumn, const QString& nameColumn,
             const QString& name, const QString& what);
