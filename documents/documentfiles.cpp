#include "documentfiles.h"

#include "apperror.h"
#include "dataset.h"
#include "documenttexts.h"
#include "messages.h"
#include "shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// A file name's bytes are limited (255 on the usual file systems); the number and the extension
// need room of their own.
constexpr int MaxNameBytes = 200;

bool refusedInFileName(QChar c)
{
    static const QString refused = QStringLiteral("\\/:*?\"<>|");
    return c.unicode() < 0x20 || c.unicode() == 0x7f || refused.contains(c);
}

} // namespace

QString FileNameFromTitle(const QString& title)
{
    QString name = title;
    for (QChar& c : name) {
        if (refusedInFileName(c))
            c = u'_';
    }
    while (name.toUtf8().size() > MaxNameBytes)
        name.chop(name.size() >= 2 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
    // Trailing blanks and dots vanish on some file systems, which would change the name; a
    // leading dot would hide the document from the folder's listing.
    for (qsizetype i = name.size() - 1; i >= 0 && (name[i] == u' ' || name[i] == u'.'); --i)
        name[i] = u'_';
    if (name.startsWith(u'.'))
        name[0] = u'_';
    return name.isEmpty() ? QStringLiteral("_") : name;
}

QString FreeDocumentPath(const QString& folder, const QString& name, const QString& extension)
{
    QString path = folder + name + extension;
    for (int n = 1; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1%2 (%3)%4").arg(folder, name, QString::number(n), extension);
    return path;
}

void WriteDocumentAtomically(const QString& path, const std::function<void(const QString& temporaryPath)>& write)
{
    const QFileInfo target(path);
    QString temporary;
    {
        // Only a unique name is taken here; the writer makes the file again under it.
        QTemporaryFile reserve(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                               QStringLiteral(".XXXXXX"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            throw AppError(QStringLiteral("Не удалось создать файл в каталоге \"%1\": %2")
                               .arg(QDir::toNativeSeparators(target.absolutePath()), reserve.errorString()));
        temporary = reserve.fileName();
    }
    try {
        write(temporary);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    // The reserved name was private to the user; the document is for sharing like any other file.
    QFile::setPermissions(temporary, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                         QFileDevice::ReadOther);
    // One step that also replaces a file of that name: readers see the old file or the new one.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        throw AppError(
            QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(QDir::toNativeSeparators(path), reason));
    }
}

void OpenSavedDocument(const QString& path)
{
    if (!ShellOpen(path))
        ShowMessage(DocumentText::NotOpened.arg(QDir::toNativeSeparators(path)), MsgIcon::Information);
}

QString FolderWithSeparator(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(u'/') || folder.endsWith(QDir::separator()))
        return folder;
    return folder + QDir::separator();
}

bool EnsureDestinationFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    if (ShowMessage(DocumentText::CreateFolder, MsgIcon::Error, MsgButtons::YesCancel) != MsgResult::Yes)
        return false;
    if (QDir().mkpath(folder) && QFileInfo(folder).isDir())
        return true;
    ShowMessage(DocumentText::FolderNotCreated.arg(folder), MsgIcon::Error);
    return false;
}

QString StoredExportPath(Dataset& settings)
{
    if (!settings.isOpen())
        settings.open();
    return settings.value(QStringLiteral("ExportPath")).toString();
}

void StoreExportPath(Dataset& settings, const QString& folder)
{
    if (!settings.isOpen())
        settings.open();
    if (settings.isEmpty())
        settings.append();
    else
        settings.edit();
    settings.setValue(QStringLiteral("ExportPath"), folder);
    settings.post();
}
