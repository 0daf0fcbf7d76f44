// The store shared by two programs at once, and a program that dies in the middle.
#include "apperror.h"
#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "messagerecorder.h"
#include "storeconnection.h"

#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

constexpr int AnswerWaitMs = 8000;

// The other program, driven line by line.
class Peer
{
public:
    Peer()
    {
        m_process.setProgram(QStringLiteral(STORE_PEER));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        EXPECT_TRUE(m_process.waitForStarted());
        EXPECT_EQ(answer(), "ready");
    }
    ~Peer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    void send(const QByteArray& line) { m_process.write(line + '\n'); }
    QByteArray answer()
    {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(AnswerWaitMs))
                return "(no answer)";
        return m_process.readLine().trimmed();
    }
    bool hasAnswer() { return m_process.canReadLine() || (m_process.waitForReadyRead(0) && m_process.canReadLine()); }
    QByteArray ask(const QByteArray& line)
    {
        send(line);
        return answer();
    }
    void quit()
    {
        send("quit");
        EXPECT_TRUE(m_process.waitForFinished(AnswerWaitMs));
        EXPECT_EQ(m_process.exitCode(), 0);
    }
    void killHard()
    {
        m_process.kill(); // SIGKILL: no destructor runs
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

QString storePath()
{
    return AppFilePath(QStringLiteral("vs4.mdb"));
}

ino_t inode(const QString& path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

QStringList klasses()
{
    StoreConnection c(QStringLiteral("check"));
    c.open(storePath());
    QSqlQuery integrity(c.database());
    integrity.exec(QStringLiteral("PRAGMA integrity_check"));
    integrity.next();
    EXPECT_EQ(integrity.value(0).toString(), QStringLiteral("ok"));
    integrity.finish();
    Dataset d(&c, QStringLiteral("k"), QStringLiteral("SELECT * FROM Klasses"));
    d.open();
    QStringList names;
    for (d.first(); !d.eof(); d.next())
        names.append(d.value(QStringLiteral("Klass")).toString());
    return names;
}

void addKlass(Dataset* k, const QString& name)
{
    k->append();
    k->setValue(QStringLiteral("Klass"), name);
    k->post();
}

} // namespace

TEST(TwoPrograms, EachSeesTheOthersRowsAfterReconnectAndNeitherWaitsOnReaders)
{
    MessageRecorder messages;
    auto dm = std::make_unique<TDM>(StoreProgram::Vezuviroz);
    TSharedDM shared(dm.get());
    Peer editor;

    EXPECT_EQ(editor.ask("add 7А"), "added");
    EXPECT_TRUE(dm->sqlKlasses->isEmpty());
    dm->Reconnect(false);
    ASSERT_EQ(dm->sqlKlasses->recordCount(), 1);
    EXPECT_EQ(dm->sqlKlasses->value("Klass").toString(), QStringLiteral("7А"));

    addKlass(dm->sqlKlasses, QStringLiteral("8Б"));
    EXPECT_EQ(editor.ask("count"), "2");

    // While the editor holds a write for a while, reading goes on at once and our own write
    // waits for it (well inside the busy timeout) instead of failing.
    static_assert(1500 < StoreConnection::BusyTimeoutMs);
    EXPECT_EQ(editor.ask("hold 1500"), "locked");
    dm->Reconnect(false);
    EXPECT_EQ(dm->sqlKlasses->recordCount(), 2); // the uncommitted row is not seen
    EXPECT_FALSE(editor.hasAnswer()) << "the read waited for the writer";
    addKlass(dm->sqlKlasses, QStringLiteral("9В"));
    EXPECT_EQ(editor.answer(), "committed");
    EXPECT_EQ(editor.ask("count"), "4");

    // Our end while the editor still has the file: no compaction, no message, file intact.
    const ino_t before = inode(storePath());
    dm.reset();
    EXPECT_EQ(inode(storePath()), before);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    EXPECT_EQ(editor.ask("add 10Г"), "added");
    editor.quit(); // the last one out compacts
    EXPECT_NE(inode(storePath()), before);
    EXPECT_EQ(klasses(), (QStringList{"7А", "8Б", "held", "9В", "10Г"}));
    EXPECT_FALSE(QFileInfo::exists(storePath() + QStringLiteral("-wal")));
}

TEST(TwoPrograms, ARowPostedRightBeforeAKillIsThere)
{
    {
        Peer editor;
        EXPECT_EQ(editor.ask("add перед"), "added");
        EXPECT_EQ(editor.ask("begin незавершённый"), "begun");
        editor.killHard();
    }
    // Only what was committed, and a sound file.
    EXPECT_EQ(klasses(), QStringList{"перед"});
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    EXPECT_EQ(dm.sqlKlasses->recordCount(), 1);
    addKlass(dm.sqlKlasses, QStringLiteral("после"));
    EXPECT_EQ(dm.sqlKlasses->recordCount(), 2);
}

TEST(TwoPrograms, APeerCannotOpenADamagedStoreEither)
{
    {
        QFile f(storePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database at all");
    }
    QProcess p;
    p.setProgram(QStringLiteral(STORE_PEER));
    p.start();
    ASSERT_TRUE(p.waitForFinished(AnswerWaitMs));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("error "))) << out.toStdString();
    EXPECT_TRUE(out.contains(storePath())) << out.toStdString();
    EXPECT_EQ(p.exitCode(), 1);
    QFile f(storePath());
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), QByteArray("not a database at all"));
}
