#include "dbutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool IsDatabaseEmpty(const QSqlDatabase& db)
{
    bool empty = true;
    for (const QString& table : db.tables(QSql::Tables)) {
        if (table.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive))
            continue;
        QSqlQuery count(db);
        if (count.exec(QStringLiteral("SELECT Count(*) FROM \"%1\"").arg(table)) && count.next() &&
            count.value(0).toLongLong() != 0)
            empty = false;
    }
    return empty;
}

bool IsFileLocked(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return QFileInfo::exists(path); // exists but cannot be opened for reading and writing
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd); // closing drops the lock we may have taken
    return locked;
}

namespace {

// An exclusive advisory lock on a file, held for the object's life; not held when the file is
// missing, cannot be opened for writing, or another holder keeps it.
class ExclusiveFileLock
{
public:
    explicit ExclusiveFileLock(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC))
    {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ExclusiveFileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // closing gives the lock back
    }
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Rows committed to a write-ahead log that is still beside the file belong to that file: a
// compacted copy renamed over it would meet them at the next open.
bool HasWriteAheadLog(const QString& path)
{
    return QFileInfo(path + QLatin1String("-wal")).size() > 0;
}

} // namespace

QString CompactDatabase(const QString& path, const QString& destination, const QString& password)
{
    Q_UNUSED(password);
    // Held from the copy to the rename: a program that opens the store meanwhile waits for it and
    // then finds the new file, so no row it writes can go to the file being replaced.
    // A missing file goes on to the engine, which reports it.
    const ExclusiveFileLock lock(path);
    if ((QFileInfo::exists(path) && !lock.held()) || (destination.isEmpty() && HasWriteAheadLog(path)))
        return {};
    const QFileInfo source(path);
    QString target = destination;
    if (target.isEmpty()) {
        QTemporaryFile temp(source.absoluteDir().filePath(QStringLiteral("mdbXXXXXX")));
        if (!temp.open())
            return temp.errorString();
        target = temp.fileName();
    } // the temporary file is gone again: VACUUM INTO needs a free name
    QFile::remove(target);

    const QString connection = QStringLiteral("vastrel-compact-%1").arg(quintptr(&target));
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery vacuum(db);
            vacuum.prepare(QStringLiteral("VACUUM INTO ?"));
            vacuum.addBindValue(target);
            if (!vacuum.exec())
                error = vacuum.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    // A read-only connection to a file in write-ahead mode leaves an empty log and its index beside
    // it; no program holds the file now, so they go.
    if (lock.held()) {
        QFile::remove(path + QLatin1String("-shm"));
        if (QFileInfo(path + QLatin1String("-wal")).size() == 0)
            QFile::remove(path + QLatin1String("-wal"));
    }

    if (error.isEmpty() && destination.isEmpty()) {
        // rename() replaces the original in one step: the path always holds a whole database.
        if (::rename(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) != 0)
            error = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!error.isEmpty() && destination.isEmpty())
        QFile::remove(target);
    return error;
}

QString UniqueFileName(const QString& path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    const QString stem = path.left(path.size() - suffix.size());
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem, QString::number(n), suffix);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

namespace {

QString asciiLower(QString text)
{
    for (QChar& c : text)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return text;
}

} // namespace

void FindFiles(const QString& folder, const QString& mask, QStringList& list, bool withFolder, bool recursive)
{
    QString base = folder;
    if (!base.endsWith(u'/'))
        base += u'/';
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(mask),
                                     QRegularExpression::CaseInsensitiveOption);
    const QDir dir(base);
    for (const QFileInfo& file :
         dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase)) {
        if (pattern.match(file.fileName()).hasMatch())
            list.append((withFolder ? base : QString()) + asciiLower(file.fileName()));
    }
    if (!recursive)
        return;
    for (const QString& sub :
         dir.entryList(QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        FindFiles(base + sub, mask, list, withFolder, recursive);
}
