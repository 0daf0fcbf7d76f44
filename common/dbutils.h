#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;

// True when no user table of the connected database holds a row (SQLite's own tables left out).
// Every table is counted, also after one was found not empty.
bool IsDatabaseEmpty(const QSqlDatabase& db);

// True when the file exists and another holder keeps it: an exclusive advisory lock (flock) cannot
// be had. The programs hold a shared lock on the store while it is open.
bool IsFileLocked(const QString& path);

// Compacts a SQLite database file into the destination, or in place when none is given
// (VACUUM INTO a temporary file "mdb*" in the same folder, then rename over the original).
// Skipped while the file is locked, and in place while a write-ahead log with rows is beside it.
// The file is held locked until the compacted copy has replaced it. Returns the engine's error text
// (empty when compacted or skipped) for the caller to show; no error leaves this function, and the
// file at the path stays as it was unless replaced whole.
// The password is accepted for the callers' sake; SQLite files of the system have none.
QString CompactDatabase(const QString& path, const QString& destination = {}, const QString& password = {});

// The path itself when no file has it, else the first free "name (N).ext", N from 1 up.
QString UniqueFileName(const QString& path);

// Appends to the list the names of the folder's files matching the mask (wildcards "*" and "?",
// case-insensitive), hidden ones included, folders not. Each file name is put in ASCII lower case,
// with the folder (as given, with a trailing separator) in front when withFolder is set. With recursive set, every
// subfolder is searched the same way after the folder's own files.
void FindFiles(const QString& folder, const QString& mask, QStringList& list, bool withFolder, bool recursive);
