#include "appfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace {

QString installedDataFolder(const QString& exeDir)
{
    return QDir(exeDir).absoluteFilePath(QStringLiteral("../share/vastrel"));
}

} // namespace

QString AppFolder()
{
    const QString home = qEnvironmentVariable("VASTREL_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return QDir(home).absolutePath();
    }
    if (QCoreApplication::instance()) {
        const QString exeDir = QCoreApplication::applicationDirPath();
        if (!exeDir.isEmpty() && !QFileInfo(installedDataFolder(exeDir)).isDir() &&
            ::access(QFile::encodeName(exeDir).constData(), W_OK) == 0)
            return exeDir;
    }
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::home().filePath(QStringLiteral(".local/share"));
    const QString folder = QDir(data).filePath(QStringLiteral("vastrel"));
    QDir().mkpath(folder);
    return folder;
}

QString ProgramDataFolder()
{
    if (!QCoreApplication::instance())
        return {};
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString installed = installedDataFolder(exeDir);
    return QFileInfo(installed).isDir() ? QDir::cleanPath(installed) : exeDir;
}

QString AppFilePath(const QString& name)
{
    return QDir(AppFolder()).filePath(name);
}
