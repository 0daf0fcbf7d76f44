#pragma once

#include <QString>
#include <functional>

class Dataset;

// Where a finished document goes and how it gets there: a free name in the destination folder,
// written under a temporary name and renamed once complete, then shown by the desktop.

// A title made fit for a file name: the characters that file systems (ours or a colleague's)
// refuse, control characters, trailing blanks and dots and a leading dot become "_"; an empty title
// becomes "_".
// The document itself keeps the title as it is.
QString FileNameFromTitle(const QString& title);

// folder + name + extension, or the first free of "name (1)extension", "name (2)extension", ...
// The folder ends with a separator; the extension has its dot.
QString FreeDocumentPath(const QString& folder, const QString& name, const QString& extension);

// Runs write(temporaryPath) with a fresh name beside `path` and renames the result to `path` (in
// place of a file of that name) once write has finished; whatever write leaves behind is removed when it throws, and so
// is the temporary file when the rename fails (AppError naming the file). Nothing is left half-written under `path`.
void WriteDocumentAtomically(const QString& path, const std::function<void(const QString& temporaryPath)>& write);

// Asks the desktop to open the saved document with its application; when it cannot, tells where
// the document was saved.
void OpenSavedDocument(const QString& path);

// The folder with a separator at its end, as the folder field keeps it.
QString FolderWithSeparator(const QString& folder);

// The destination folder before an export: true when it exists, or when the user, asked
// "Каталог назначения не существует. Создать его?", let it be made with its missing parents (a
// folder that cannot be made is told).
bool EnsureDestinationFolder(const QString& folder);

// ExportPath of the program's settings row (VezuvirozSettings or ScribantSettings); storing makes
// the row when the table has none.
QString StoredExportPath(Dataset& settings);
void StoreExportPath(Dataset& settings, const QString& folder);
