#include "serverfixture.h"

#include "adtg.h"
#include "archive.h"
#include "dataset.h"
#include "runlog.h"
#include "sqltexts.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

namespace {
constexpr int WaitMs = 10000; // a generous bound for loopback events
}

QString u8(const char* text)
{
    return QString::fromUtf8(text);
}

QByteArray wire(const char* text)
{
    QByteArray b(text);
    b.replace('|', '\0');
    return b;
}

bool logged(const QString& tail)
{
    return loggedCount(tail) > 0;
}

int loggedCount(const QString& tail)
{
    const QStringList lines = RunLog::lines();
    return int(std::count_if(lines.begin(), lines.end(), [&](const QString& l) { return l.endsWith(tail); }));
}

Peer::Peer(const QString& address) : address(address), name(QStringLiteral("PC-") + address.section(u'.', 3))
{
    connection.socket()->bind(QHostAddress(address));
    connect(&connection, &StudentConnection::messageReceived, this,
            [this](const Protocol::ServerMessage& m) { messages.append(m); });
    connect(&connection, &StudentConnection::questionSetReceived, this, [this](const QByteArray& bytes) {
        const QString folder = testPath(QStringLiteral("peer-%1-%2").arg(this->address).arg(sets.size()));
        QDir().mkpath(folder);
        const QString archive = folder + QStringLiteral("/set.cmpr");
        QFile f(archive);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        TZLibCompression().DecompressFiles(archive, folder);
        sets.append(ReadAdtgFile(folder + QStringLiteral("/QuestionList.ADTG")));
    });
    connect(&connection, &ProtocolConnection::disconnected, this, [this] { closed = true; });
}

bool Peer::connectTo(quint16 port)
{
    connection.connectToServer(QStringLiteral("127.0.0.1"), port);
    return QTest::qWaitFor([&] { return connection.isConnected(); }, WaitMs);
}

bool Peer::waitFor(Protocol::ServerMessage::Kind kind, int n)
{
    return QTest::qWaitFor([&] { return count(kind) >= n; }, WaitMs);
}

int Peer::count(Protocol::ServerMessage::Kind kind) const
{
    return int(std::count_if(messages.begin(), messages.end(), [&](const auto& m) { return m.kind == kind; }));
}

const Protocol::ServerMessage* Peer::last(Protocol::ServerMessage::Kind kind) const
{
    for (auto it = messages.rbegin(); it != messages.rend(); ++it)
        if (it->kind == kind)
            return &*it;
    return nullptr;
}

bool Peer::waitForSet(int n)
{
    return QTest::qWaitFor([&] { return sets.size() >= n; }, WaitMs);
}

bool Peer::waitClosed()
{
    return QTest::qWaitFor([&] { return closed; }, WaitMs);
}

QList<int> Peer::setIds() const
{
    QList<int> ids;
    if (sets.isEmpty())
        return ids;
    const Table& t = sets.last();
    for (int r = 0; r < t.rowCount(); ++r)
        ids.append(t.value(r, QStringLiteral("QueID")).toInt());
    return ids;
}

QStringList Peer::rightAnswers() const
{
    QStringList lines;
    for (int id : setIds())
        lines.append(QStringLiteral("%1=1").arg(id));
    return lines;
}

void ServerTest::SetUp()
{
    RunLog::clear();
    bank = std::make_unique<ServerBank>();
    server = std::make_unique<TestingServer>(&bank->dm, &bank->shared, &prompts);
    server->setRestartPause(10);
    server->seedDraws(7);
    ASSERT_TRUE(server->Start(-1, 0));
}

void ServerTest::TearDown()
{
    peers.clear();
    server.reset();
    bank.reset();
}

Peer& ServerTest::addPeer(int n, int topicId)
{
    peers.push_back(std::make_unique<Peer>(QStringLiteral("127.0.0.%1").arg(n)));
    Peer& p = *peers.back();
    EXPECT_TRUE(p.connectTo(server->tcpPort()));
    const int before = rowCount();
    p.iam(topicId);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->isConnected(p.address); }, WaitMs)) << p.address.toStdString();
    (void)before;
    return p;
}

int ServerTest::rowCount()
{
    return bank->dm.sqlCurrentTesting->recordCount();
}

bool ServerTest::waitRows(int count)
{
    return QTest::qWaitFor([&] { return rowCount() == count; }, WaitMs);
}

QVariant ServerTest::rowValue(const QString& address, const QString& column)
{
    Dataset d(bank->connection(), QStringLiteral("row"), u8(Sql::CurrentTestingByPc));
    d.open();
    return d.locate(QStringLiteral("IP"), address) ? d.value(column) : QVariant();
}

bool ServerTest::waitRowValue(const QString& address, const QString& column, const QVariant& value)
{
    return QTest::qWaitFor([&] { return rowValue(address, column) == value; }, WaitMs);
}

void ServerTest::makeTopic(int questionCount, const std::function<void(TestSettings&)>& settings)
{
    topic = bank->addTopic(u8("Алгебра"));
    for (int i = 0; i < questionCount; ++i)
        questions.append(bank->addChoice(topic, QStringLiteral("Q%1").arg(i + 1)));
    if (settings)
        bank->setSettings(topic, settings);
}

void ServerTest::handOutAndWait(int setsPerPeer)
{
    bool finished = false;
    const auto c =
        QObject::connect(server.get(), &TestingServer::handOutFinished, server.get(), [&] { finished = true; });
    server->HandOutQuestions();
    const bool ended = QTest::qWaitFor([&] { return finished; }, WaitMs);
    QObject::disconnect(c);
    ASSERT_TRUE(ended);
    for (auto& p : peers)
        ASSERT_TRUE(p->waitForSet(setsPerPeer)) << p->address.toStdString();
}
