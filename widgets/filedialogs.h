#pragma once

#include <QString>
#include <functional>

class QWidget;

// The one seam for the open and save file dialogs, as ShowMessage is for messages: the windows ask
// here, the programs get the system's dialog, and tests install a handler that records what was
// asked and answers with a path (an empty path is a cancelled dialog).
struct FileDialogRequest
{
    enum class Kind
    {
        Open,
        Save,
        Folder
    };
    Kind kind = Kind::Open;
    QWidget* parent = nullptr;
    QString title;
    QString filter;    // in Qt's form: "MDB files (*.mdb);;All files (*)"
    QString directory; // where the dialog starts (or the proposed file, when saving)
};

using FileDialogHandler = std::function<QString(const FileDialogRequest& request)>;

// The chosen existing file, or empty when the dialog was cancelled.
QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& directory = {});

// The file to write, or empty when the dialog was cancelled.
QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter, const QString& proposed = {});
// An existing folder, or empty when the dialog was cancelled.
QString ChooseFolder(QWidget* parent, const QString& title, const QString& directory = {});
// Installs a handler and returns the one it replaces; an empty handler brings back the system's dialog.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

// A filter of paired entries "Description|patterns|Description|patterns" (patterns separated by
// ';') in Qt's form "Description (patterns);;...". A description that already ends with its patterns
// in parentheses keeps its text; an entry without patterns matches every file.
QString QtFileFilter(const QString& pairedFilter);
