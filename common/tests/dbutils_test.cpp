#include "dbutils.h"
#include "messagerecorder.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

void touch(const QString& path, const QByteArray& bytes = {})
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// An SQLite file with the given statements run on it; the connection is closed afterwards.
void makeDatabase(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements)
            ASSERT_TRUE(q.exec(s)) << s.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make"));
}

// Counts rows of a table through a fresh connection.
qint64 countRows(const QString& path, const QString& table)
{
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT Count(*) FROM ") + table) && q.next())
                n = q.value(0).toLongLong();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

} // namespace

TEST(UniqueFileName, FreePathAndNumberedNames)
{
    const QString path = testPath(QStringLiteral("a.txt"));
    EXPECT_EQ(UniqueFileName(path), path);
    touch(path);
    touch(testPath(QStringLiteral("a (1).txt")));
    EXPECT_EQ(UniqueFileName(path), testPath(QStringLiteral("a (2).txt")));
    touch(testPath(QStringLiteral("noext")));
    EXPECT_EQ(UniqueFileName(testPath(QStringLiteral("noext"))), testPath(QStringLiteral("noext (1)")));
    touch(testPath(QStringLiteral("50%1.doc")));
    EXPECT_EQ(UniqueFileName(testPath(QStringLiteral("50%1.doc"))), testPath(QStringLiteral("50%1 (1).doc")));
}

TEST(FindFiles, MaskCaseFoldersAndRecursion)
{
    touch(testPath(QStringLiteral("X.TOP")));
    touch(testPath(QStringLiteral("y.top")));
    touch(testPath(QStringLiteral(".hidden.top")));
    touch(testPath(QStringLiteral("z.set")));
    QDir(testHome()).mkpath(QStringLiteral("Sub/deeper"));
    QDir(testHome()).mkpath(QStringLiteral("folder.top"));
    touch(testPath(QStringLiteral("Sub/Q.top")));
    touch(testPath(QStringLiteral("Sub/deeper/r.top")));

    QStringList plain;
    FindFiles(testHome(), QStringLiteral("*.top"), plain, false, false);
    EXPECT_EQ(plain, (QStringList{QStringLiteral(".hidden.top"), QStringLiteral("x.top"), QStringLiteral("y.top")}));

    QStringList deep{QStringLiteral("kept")};
    FindFiles(testHome(), QStringLiteral("*.top"), deep, true, true);
    const QString base = testHome() + u'/';
    EXPECT_EQ(deep, (QStringList{QStringLiteral("kept"), base + QStringLiteral(".hidden.top"),
                                 base + QStringLiteral("x.top"), base + QStringLiteral("y.top"),
                                 base + QStringLiteral("Sub/q.top"), base + QStringLiteral("Sub/deeper/r.top")}));
}

TEST(IsDatabaseEmpty, CountsUserTablesOnly)
{
    const QString path = testPath(QStringLiteral("e.db"));
    makeDatabase(path, {QStringLiteral("CREATE TABLE A (x INTEGER PRIMARY KEY AUTOINCREMENT)"),
                        QStringLiteral("CREATE TABLE B (y)"), QStringLiteral("INSERT INTO A DEFAULT VALUES"),
                        QStringLiteral("DELETE FROM A")}); // leaves a row in sqlite_sequence
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e"));
    db.setDatabaseName(path);
    ASSERT_TRUE(db.open());
    EXPECT_TRUE(IsDatabaseEmpty(db));
    QSqlQuery(db).exec(QStringLiteral("INSERT INTO B VALUES (1)"));
    EXPECT_FALSE(IsDatabaseEmpty(db));
    db.close();
}

TEST(IsDatabaseEmpty, NoTablesIsEmpty)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("m"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    ASSERT_TRUE(db.open());
    EXPECT_TRUE(IsDatabaseEmpty(db));
}

TEST(IsFileLocked, MissingFreeAndHeld)
{
    const QString path = testPath(QStringLiteral("f.mdb"));
    EXPECT_FALSE(IsFileLocked(path));
    touch(path, "x");
    EXPECT_FALSE(IsFileLocked(path));
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0); // as a program holding the store open
    EXPECT_TRUE(IsFileLocked(path));
    ::close(fd);
    EXPECT_FALSE(IsFileLocked(path));
}

TEST(CompactDatabase, InPlaceLeavesOneSmallerFileWithSameRows)
{
    const QString path = testPath(QStringLiteral("vs4.mdb"));
    // In write-ahead mode, as the programs keep the store.
    QStringList fill{QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("CREATE TABLE T (v TEXT)")};
    for (int i = 0; i < 200; ++i)
        fill << QStringLiteral("INSERT INTO T VALUES ('%1')").arg(QString(500, u'x'));
    fill << QStringLiteral("DELETE FROM T WHERE rowid > 10");
    makeDatabase(path, fill);
    const qint64 before = QFileInfo(path).size();

    EXPECT_EQ(CompactDatabase(path), QString());
    EXPECT_EQ(QDir(testHome()).entryList(QDir::Files), QStringList{QStringLiteral("vs4.mdb")});
    EXPECT_LT(QFileInfo(path).size(), before);
    EXPECT_EQ(countRows(path, QStringLiteral("T")), 10);
}

TEST(CompactDatabase, ToDestinationKeepsSource)
{
    const QString path = testPath(QStringLiteral("a.mdb"));
    const QString copy = testPath(QStringLiteral("b.mdb"));
    makeDatabase(path, {QStringLiteral("CREATE TABLE T (v)"), QStringLiteral("INSERT INTO T VALUES (1)")});
    touch(copy, "old content is replaced");
    EXPECT_EQ(CompactDatabase(path, copy), QString());
    EXPECT_EQ(countRows(copy, QStringLiteral("T")), 1);
    EXPECT_EQ(countRows(path, QStringLiteral("T")), 1);
}

// Compaction is logic: its errors come back to the caller, which shows them; it shows nothing.
TEST(CompactDatabase, SkippedWhileHeldAndEngineErrorsReturned)
{
    const QString path = testPath(QStringLiteral("held.mdb"));
    makeDatabase(path, {QStringLiteral("CREATE TABLE T (v)")});
    const QByteArray original = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_EQ(::flock(fd, LOCK_SH), 0);
        EXPECT_EQ(CompactDatabase(path), QString());
        ::close(fd);
    }

    const QString junk = testPath(QStringLiteral("junk.mdb"));
    touch(junk, QByteArray(4096, 'j'));
    MessageRecorder messages;
    EXPECT_FALSE(CompactDatabase(junk).isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
    QFile j(junk);
    ASSERT_TRUE(j.open(QIODevice::ReadOnly));
    EXPECT_EQ(j.readAll(), QByteArray(4096, 'j')); // the damaged file is left as it was
    QFile h(path);
    ASSERT_TRUE(h.open(QIODevice::ReadOnly));
    EXPECT_EQ(h.readAll(), original);
    EXPECT_EQ(QDir(testHome()).entryList({QStringLiteral("mdb*")}, QDir::Files), QStringList());
}

TEST(CompactDatabase, LeftInPlaceWhileItsWriteAheadLogHoldsRows)
{
    // A program that ended without a checkpoint leaves committed rows in "-wal": replacing the
    // file would part them from it.
    const QString path = testPath(QStringLiteral("vs4.mdb"));
    makeDatabase(path, {QStringLiteral("CREATE TABLE T (v)"), QStringLiteral("INSERT INTO T VALUES (1)")});
    touch(path + QStringLiteral("-wal"), QByteArray(64, 'w'));
    const QByteArray original = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_EQ(CompactDatabase(path), QString());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == original) << "the database file was replaced";
    EXPECT_EQ(QDir(testHome()).entryList({QStringLiteral("mdb*")}, QDir::Files), QStringList());
}

TEST(CompactDatabase, MissingFileReportsTheEngineError)
{
    MessageRecorder messages;
    EXPECT_FALSE(CompactDatabase(testPath(QStringLiteral("none.mdb"))).isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(testPath(QStringLiteral("none.mdb"))));
}
