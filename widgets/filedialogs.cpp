#include "filedialogs.h"

#include <QFileDialog>
#include <QStringList>
#include <utility>

namespace {

FileDialogHandler& installedHandler()
{
    static FileDialogHandler handler;
    return handler;
}

QString systemDialog(const FileDialogRequest& request)
{
    if (request.kind == FileDialogRequest::Kind::Folder)
        return QFileDialog::getExistingDirectory(request.parent, request.title, request.directory);
    if (request.kind == FileDialogRequest::Kind::Save)
        return QFileDialog::getSaveFileName(request.parent, request.title, request.directory, request.filter);
    return QFileDialog::getOpenFileName(request.parent, request.title, request.directory, request.filter);
}

} // namespace

QString ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& directory)
{
    const FileDialogRequest request{FileDialogRequest::Kind::Open, parent, title, filter, directory};
    const FileDialogHandler& handler = installedHandler();
    return handler ? handler(request) : systemDialog(request);
}

QString ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter, const QString& proposed)
{
    const FileDialogRequest request{FileDialogRequest::Kind::Save, parent, title, filter, proposed};
    const FileDialogHandler& handler = installedHandler();
    return handler ? handler(request) : systemDialog(request);
}

QString ChooseFolder(QWidget* parent, const QString& title, const QString& directory)
{
    const FileDialogRequest request{FileDialogRequest::Kind::Folder, parent, title, {}, directory};
    const FileDialogHandler& handler = installedHandler();
    return handler ? handler(request) : systemDialog(request);
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}

QString QtFileFilter(const QString& pairedFilter)
{
    const QStringList parts = pairedFilter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QStringList patterns;
        for (const QString& p : parts.value(i + 1).split(u';', Qt::SkipEmptyParts))
            if (!p.trimmed().isEmpty())
                patterns.append(p.trimmed());
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        const QString inParentheses = u'(' + patterns.join(u' ') + u')';
        if (description.isEmpty())
            entries.append(inParentheses);
        else if (description.endsWith(inParentheses))
            entries.append(description);
        else
            entries.append(description + u' ' + inParentheses);
    }
    return entries.join(QStringLiteral(";;"));
}
