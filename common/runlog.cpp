#include "runlog.h"

#include "appfolder.h"
#include "codec.h"

#include <QLocale>
#include <QSaveFile>
#include <QTime>

namespace {

// The lines with the count of their characters, so that the bound is kept without a recount.
struct Log
{
    QStringList lines;
    qsizetype chars = 0;
    qsizetype givenUp = 0; // oldest entries dropped; the first line then says how many
};

Log& theLog()
{
    static Log log;
    return log;
}

std::function<void(const QString&)>& observer()
{
    static std::function<void(const QString&)> callback;
    return callback;
}

void (*forwarding)(const QString& line) = nullptr;

QString stamp()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss:zzz"));
}

QString readable(QString text)
{
    return text.replace(QChar(u'\0'), QChar(u'|'));
}

QString shortened(QString line)
{
    if (line.size() <= RunLog::MaxEntryChars)
        return line;
    const qsizetype cut = line.size() - RunLog::MaxEntryChars;
    line.truncate(RunLog::MaxEntryChars);
    return line + QStringLiteral("... (%1 characters more)").arg(cut);
}

QString givenUpLine(qsizetype count)
{
    return QStringLiteral("%1: %2 earlier entries given up: the run log keeps at most %3 characters")
        .arg(stamp())
        .arg(count)
        .arg(RunLog::MaxChars);
}

// A peer may send without end: past the bound the oldest entries go, a quarter of the bound at a
// time so that the dropping is rare, and one line in their place says how many went.
void append(const QString& entry)
{
    const QString line = shortened(entry);
    if (forwarding)
        return forwarding(line);
    Log& log = theLog();
    if (observer())
        observer()(line);
    log.lines.append(line);
    log.chars += line.size();
    if (log.chars <= RunLog::MaxChars)
        return;
    if (log.givenUp > 0) {
        log.chars -= log.lines.first().size();
        log.lines.removeFirst();
    }
    while (log.chars > RunLog::MaxChars / 4 * 3 && log.lines.size() > 1) {
        log.chars -= log.lines.first().size();
        log.lines.removeFirst();
        ++log.givenUp;
    }
    log.lines.prepend(givenUpLine(log.givenUp));
    log.chars += log.lines.first().size();
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
    return theLog().lines;
}

void clear()
{
    theLog() = Log();
}

bool finish(const QString& logFilePath)
{
    LogText(QStringLiteral("END"));
    QByteArray bytes;
    for (const QString& line : std::as_const(theLog().lines))
        bytes += toCp1251(line) + "\r\n";
    clear();
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

void forwardTo(void (*sink)(const QString& line))
{
    forwarding = sink;
}

void appendLine(const QString& line)
{
    append(line);
}

QString filePathFor(const QString& programName)
{
    return AppFilePath(programName + QStringLiteral(".LOG"));
}

} // namespace RunLog
