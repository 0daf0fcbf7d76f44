#include "shell.h"

#include "apperror.h"
#include "appfolder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

ShellHandler& currentHandler()
{
    static ShellHandler handler;
    return handler;
}

bool desktopOpen(const QString& target)
{
    const QFileInfo file(target);
    if (file.isFile() && file.isExecutable())
        return QProcess::startDetached(file.absoluteFilePath(), {}, file.absolutePath());
    if (file.exists())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
    const QUrl url(target, QUrl::TolerantMode);
    return url.isValid() && !url.scheme().isEmpty() && QDesktopServices::openUrl(url);
}

} // namespace

bool ShellOpen(const QString& target)
{
    if (const ShellHandler& handler = currentHandler())
        return handler(target);
    return desktopOpen(target);
}

QString MailLink(const QString& address, const QString& subject, const QString& body)
{
    QString link = QStringLiteral("mailto:") + address + QStringLiteral("?subject=") + subject;
    if (!body.isEmpty())
        link += QStringLiteral("&body=") + body;
    link.replace(u' ', QStringLiteral("%20"));
    link.replace(u'\r', QStringLiteral("%0D"));
    link.replace(u'\n', QStringLiteral("%0A"));
    return link;
}

void SendMailLink(const QString& address, const QString& subject, const QString& body)
{
    if (!ShellOpen(MailLink(address, subject, body)))
        throw AppError(QStringLiteral("Cannot run default Email Client!"));
}

QString HelpFilePath()
{
    return QDir(ProgramDataFolder()).filePath(QStringLiteral("help/index.html"));
}

void OpenHelp()
{
    if (!ShellOpen(HelpFilePath()))
        throw AppError(
            QStringLiteral("Не получается открыть файл справки.\rПопробуйте найти его в папке Vastrel System."));
}

ShellHandler SetShellHandler(ShellHandler handler)
{
    ShellHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}
