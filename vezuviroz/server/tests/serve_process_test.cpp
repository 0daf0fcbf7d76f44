// `vastrel serve` as a process: a peer takes a whole test through it, and a server killed in the
// middle of a test gives every computer its answers back after its restart.
#include "dataset.h"
#include "ports.h"
#include "serverfixture.h"
#include "sqltexts.h"
#include "storeconnection.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>
#include <csignal>

using K = Protocol::ServerMessage::Kind;

namespace {

constexpr int WaitMs = 15000;

int freeTcpPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}

int freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0);
    return probe.localPort();
}

// One run of `vastrel serve` on the test's folder.
class ServeProcess
{
public:
    explicit ServeProcess(const QStringList& args)
    {
        m_process.setProgram(QStringLiteral(VASTREL_TOOL));
        m_process.setArguments(QStringList{"serve"} + args);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // the server writes reals with the decimal separator of the computer's regional settings
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("ru_RU.UTF-8"));
        m_process.setProcessEnvironment(env);
        m_process.start();
    }
    ~ServeProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool waitForLine(const QString& tail)
    {
        return QTest::qWaitFor(
            [&] {
                m_output += QString::fromUtf8(m_process.readAll());
                return m_output.contains(tail);
            },
            WaitMs);
    }
    void terminate() { ::kill(pid_t(m_process.processId()), SIGTERM); }
    void killHard() { m_process.kill(); } // SIGKILL: nothing of the process runs any more
    bool waitEnded()
    {
        const bool ended = QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, WaitMs);
        m_output += QString::fromUtf8(m_process.readAll());
        return ended;
    }
    int exitCode() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }
    QString output() const { return m_output; }

private:
    QProcess m_process;
    QString m_output;
};

struct Row
{
    bool questionsGiven = false;
    bool ready = false;
    QString results;
    double percent = 0;
};

// The rows of CurrentTesting as the store keeps them, by address.
QHash<QString, Row> storedRows()
{
    StoreConnection c(QStringLiteral("check"));
    c.open(testPath(QStringLiteral("vs4.mdb")));
    QHash<QString, Row> rows;
    {
        Dataset d(&c, QStringLiteral("rows"), u8(Sql::CurrentTestingByPc));
        d.open();
        for (d.first(); !d.eof(); d.next())
            rows.insert(d.value("IP").toString(), {d.value("QuestionsGiven").toBool(), d.value("Ready").toBool(),
                                                   d.value("Results").toString(), d.value("RightsPercent").toDouble()});
    }
    c.close();
    return rows;
}

QString lines(const QStringList& l)
{
    QString t;
    for (const QString& s : l)
        t += s + "\r\n";
    return t;
}

class ServeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ServerBank bank;
        topic = bank.addTopic(u8("Химия"));
        for (int i = 0; i < 6; ++i)
            questions.append(bank.addChoice(topic, QStringLiteral("C%1").arg(i + 1)));
        foreign = bank.addChoice(bank.addTopic("Other"), "F");
        bank.setSettings(topic, [](TestSettings& s) {
            s.RandomOrder = true;
            s.GiveMaxCount = 4;
            s.MaxPointSystem = 5;
        });
        tcpPort = freeTcpPort();
        ASSERT_TRUE(WritePorts(testHome(), freeUdpPort(), tcpPort));
    }

    std::unique_ptr<Peer> connectPeer(int n, int topicId)
    {
        auto p = std::make_unique<Peer>(QStringLiteral("127.0.0.%1").arg(n));
        EXPECT_TRUE(p->connectTo(quint16(tcpPort)));
        p->iam(topicId);
        return p;
    }

    int topic = 0;
    int foreign = 0;
    QList<int> questions;
    int tcpPort = 0;
};

} // namespace

TEST_F(ServeTest, APeerTakesAWholeTestThroughTheHeadlessServer)
{
    ServeProcess serve({"--topic", u8("химия"), "--hand-out"});
    ASSERT_TRUE(serve.waitForLine("Server is Active. Advertiser is Active")) << serve.output().toStdString();
    auto p = connectPeer(2, 0);
    ASSERT_TRUE(p->waitForSet()) << serve.output().toStdString();
    const QList<int> ids = p->setIds();
    ASSERT_EQ(ids.size(), 4);
    p->connection.sendRout(
        4, {QString::number(ids[0]), QString::number(ids[1]), QString::number(ids[2]), QString::number(ids[3])});
    p->connection.sendReport({ids[0], "1", 1, 100});
    p->connection.sendReport({ids[1], "2", 2, 90});
    p->connection.sendFinishReport({QString::number(ids[0]) + "=1", QString::number(ids[1]) + "=2",
                                    QString::number(ids[2]) + "=1", QString::number(ids[3]) + "=1"});
    ASSERT_TRUE(p->waitFor(K::YourPrePointsAre)) << serve.output().toStdString();
    EXPECT_EQ(p->last(K::YourPrePointsAre)->percent, "75,0");
    // the run log's lines come out as they happen
    EXPECT_TRUE(serve.waitForLine("Inserted to DB: \"127.0.0.2\". RecordCount=1"));
    serve.terminate();
    ASSERT_TRUE(serve.waitEnded());
    EXPECT_EQ(serve.exitCode(), 0) << serve.output().toStdString();
    EXPECT_TRUE(serve.output().contains(": END"));
    EXPECT_TRUE(QFile::exists(testPath("Vezuviroz.LOG")));
    EXPECT_TRUE(QDir(testPath("Temp")).entryList(QDir::Files).isEmpty());
    // the finished work, not yet filed, waits in the table for the next start
    const QHash<QString, Row> rows = storedRows();
    ASSERT_TRUE(rows.contains(p->address));
    EXPECT_TRUE(rows[p->address].ready);
    EXPECT_DOUBLE_EQ(rows[p->address].percent, 75.0);
}

TEST_F(ServeTest, AKilledServerGivesEveryComputerItsAnswersBackAfterItsRestart)
{
    std::unique_ptr<Peer> finished, working, started;
    QList<int> workingIds, startedIds;
    {
        ServeProcess first({"--topic", QString::number(topic), "--hand-out"});
        ASSERT_TRUE(first.waitForLine("Server is Active. Advertiser is Active"));
        finished = connectPeer(2, 0);
        working = connectPeer(3, 0);
        started = connectPeer(4, 0);
        for (Peer* p : {finished.get(), working.get(), started.get()})
            ASSERT_TRUE(p->waitForSet()) << first.output().toStdString();
        QStringList all;
        for (int id : finished->setIds())
            all << QString::number(id) + "=1";
        finished->sendRaw(Protocol::finishReport(all));
        ASSERT_TRUE(finished->waitFor(K::YourPrePointsAre));

        workingIds = working->setIds();
        QStringList route;
        for (int id : workingIds)
            route << QString::number(id);
        working->sendRaw(Protocol::rout(4, route));
        working->connection.pause();
        working->connection.send(Protocol::report({workingIds[0], "1", 1, 300}));
        working->connection.pause();
        // answered in order: once the criteria come, the report before them is stored
        working->connection.sendCriteriaNeeded();
        ASSERT_TRUE(working->waitFor(K::CriteriaListIs));

        startedIds = started->setIds();
        started->sendRaw(Protocol::rout(4, route.mid(0, 0) + QStringList{QString::number(startedIds[0])}));
        started->connection.pause();
        started->connection.sendCriteriaNeeded();
        ASSERT_TRUE(started->waitFor(K::CriteriaListIs));

        first.killHard();
        ASSERT_TRUE(first.waitEnded());
    }
    for (Peer* p : {finished.get(), working.get(), started.get()})
        ASSERT_TRUE(p->waitClosed());

    ServeProcess second({});
    ASSERT_TRUE(second.waitForLine("sqlCurrentTesting keeps 3 works.")) << second.output().toStdString();
    ASSERT_TRUE(second.waitForLine("Server is Active. Advertiser is Active"));
    // each computer comes back with its topic, hears "!Ready" and sends all its answers
    auto workingAgain = connectPeer(3, topic);
    ASSERT_TRUE(workingAgain->waitFor(K::Ready)) << second.output().toStdString();
    QStringList answers{QString::number(foreign) + "=1"}; // a line of a question never handed out
    for (int id : workingIds)
        answers << QString::number(id) + "=1";
    workingAgain->sendRaw(Protocol::totalReport(answers));
    auto startedAgain = connectPeer(4, topic);
    ASSERT_TRUE(startedAgain->waitFor(K::Ready));
    startedAgain->sendRaw(Protocol::totalReport({QString::number(startedIds[0]) + "=1"}));
    ASSERT_TRUE(second.waitForLine(QStringLiteral("QueID=%1 was not handed out to it").arg(foreign)));
    workingAgain->connection.sendCriteriaNeeded();
    startedAgain->connection.sendCriteriaNeeded();
    ASSERT_TRUE(workingAgain->waitFor(K::CriteriaListIs));
    ASSERT_TRUE(startedAgain->waitFor(K::CriteriaListIs));
    second.terminate();
    ASSERT_TRUE(second.waitEnded());

    const QHash<QString, Row> rows = storedRows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows["127.0.0.2"].ready) << "the finished work outlived the crash";
    EXPECT_DOUBLE_EQ(rows["127.0.0.2"].percent, 100.0);
    EXPECT_FALSE(rows["127.0.0.3"].ready);
    EXPECT_DOUBLE_EQ(rows["127.0.0.3"].percent, 100.0); // graded over its own four questions only
    EXPECT_FALSE(rows["127.0.0.3"].results.contains(QString::number(foreign) + "="));
    // the computer that had answered one question: the others of its set count as unanswered
    EXPECT_DOUBLE_EQ(rows["127.0.0.4"].percent, 25.0);
    QStringList expected{QString::number(startedIds[0]) + "=1"};
    for (int id : startedIds.mid(1))
        expected << QString::number(id) + "=0";
    EXPECT_EQ(rows["127.0.0.4"].results, lines(expected));
}
