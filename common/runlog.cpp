#include "runlog.h"

#include "appfolder.h"
#include "codec.h"

#include <QLocale>
#include <QSaveFile>
#include <QTime>

namespace {

QStringList& logLines()
{
    static QStringList lines;
    return lines;
}

std::function<void(const QString&)>& observer()
{
    static std::function<void(const QString&)> callback;
    return callback;
}

void append(QString line)
{
    if (observer())
        observer()(line);
    logLines().append(std::move(line));
}

QString stamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz"));
}

QString readable(QString text)
{
    return text.replace(QChar(u'\0'), QChar(u'|'));
}

} // namespace

void LogText(const QString& text)
{
    append(QStringLiteral("%1: %2").arg(stamp(), readable(text)));
}

void LogIn(const QString& peer, const QString& text)
{
    append(QStringLiteral("%1: From:\"%2\", In: \"%3\"").arg(stamp(), peer, readable(text)));
}

void LogOut(const QString& peer, const QString& text)
{
    append(QStringLiteral("%1: To:\"%2\", Out: \"%3\"").arg(stamp(), peer, readable(text)));
}

void LogBegin()
{
    LogText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat) + QStringLiteral(" BEGIN.    Version ") +
            QStringLiteral(VASTREL_VERSION));
}

namespace RunLog {

QStringList lines()
{
    return logLines();
}

void clear()
{
    logLines().clear();
}

bool finish(const QString& logFilePath)
{
    LogText(QStringLiteral("END"));
    QByteArray bytes;
    for (const QString& line : logLines())
        bytes += toCp1251(line) + "\r\n";
    logLines().clear();
    QSaveFile file(logFilePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

void setObserver(std::function<void(const QString&)> callback)
{
    observer() = std::move(callback);
}

QString filePathFor(const QString& programName)
{
    return AppFilePath(programName + QStringLiteral(".LOG"));
}

} // namespace RunLog
