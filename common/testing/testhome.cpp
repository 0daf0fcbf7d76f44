#include "testhome.h"

#include <QDir>

QString testHome()
{
    return QString::fromLocal8Bit(qgetenv("VASTREL_HOME"));
}

QString testPath(const QString& name)
{
    return QDir(testHome()).filePath(name);
}
