#include "codec.h"
#include "connection.h"
#include "runlog.h"
#include "testhome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Protocol;

namespace {

constexpr int WaitMs = 5000; // generous bound for loopback events

QByteArray wire(const char* text)
{
    QByteArray b(text);
    b.replace('|', '\0');
    return b;
}

QString fromCp1251Text(const QByteArray& bytes)
{
    return fromCp1251(bytes).replace(QChar(u'\0'), QChar(u'|'));
}

bool logged(const QString& tail)
{
    const QStringList lines = RunLog::lines();
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.endsWith(tail); });
}

int loggedCount(const QString& tail)
{
    const QStringList lines = RunLog::lines();
    return int(std::count_if(lines.begin(), lines.end(), [&](const QString& l) { return l.endsWith(tail); }));
}

QString outEntry(const QString& text)
{
    return QStringLiteral("To:\"127.0.0.1\", Out: \"%1\"").arg(text);
}

QString inEntry(const QString& text)
{
    return QStringLiteral("From:\"127.0.0.1\", In: \"%1\"").arg(text);
}

QByteArray patternBytes(qsizetype size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        b[i] = char((i * 131 + i / 251) & 0xFF);
    return b;
}

QString writeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = testPath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

// A student connection and its server end, on loopback.
class Loopback : public testing::Test
{
protected:
    void SetUp() override
    {
        RunLog::clear();
        ASSERT_TRUE(server.listen(0));
        QObject::connect(&server, &CommandServer::clientConnected, [this](ServerConnection* c) { connectClient(c); });
        client = connectStudent();
        ASSERT_TRUE(QTest::qWaitFor([&] { return serverEnds.size() == 1 && client->isConnected(); }, WaitMs));
        serverEnd = serverEnds[0];
    }

    StudentConnection* connectStudent()
    {
        auto* c = new StudentConnection(&owner);
        const int index = int(studentMessages.size());
        studentMessages.append(QList<ServerMessage>());
        QObject::connect(c, &StudentConnection::messageReceived,
                         [this, index](const ServerMessage& m) { studentMessages[index] += m; });
        QObject::connect(c, &StudentConnection::questionSetStarted, [this, index](qint64 n) {
            if (index == 0)
                announced = n;
        });
        QObject::connect(c, &StudentConnection::questionSetReceived, [this, index](const QByteArray& b) {
            receivedSets.append({index, b});
        });
        QObject::connect(c, &StudentConnection::questionSetFailed, [this](const QString& p) { failures += p; });
        c->connectToServer(QStringLiteral("127.0.0.1"), server.port());
        return c;
    }

    // A bare second computer, to put exact bytes on the wire; true once its server end exists.
    bool connectRaw(QTcpSocket& raw)
    {
        raw.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        return raw.waitForConnected(WaitMs) && QTest::qWaitFor([&] { return serverEnds.size() == 2; }, WaitMs);
    }

    void connectClient(ServerConnection* c)
    {
        const int index = int(serverEnds.size());
        serverEnds += c;
        serverMessages.append(QList<StudentMessage>());
        QObject::connect(c, &ServerConnection::messageReceived,
                         [this, index](const StudentMessage& m) { serverMessages[index] += m; });
        QObject::connect(c, &ServerConnection::questionSetSent, [this] { ++setsSent; });
    }

    QObject owner;
    CommandServer server;
    StudentConnection* client = nullptr;
    ServerConnection* serverEnd = nullptr;
    QList<ServerConnection*> serverEnds;
    QList<QList<StudentMessage>> serverMessages;
    QList<QList<ServerMessage>> studentMessages;
    QList<std::pair<int, QByteArray>> receivedSets;
    QStringList failures;
    qint64 announced = -1;
    int setsSent = 0;
};

} // namespace

TEST_F(Loopback, EveryStudentMessageIsSentReceivedDispatchedAndLogged)
{
    using Kind = StudentMessage::Kind;
    struct Case
    {
        std::function<void()> send;
        QString wireText;               // as the logs show it
        bool loggedOut;                 // the student logs the send
        std::optional<Kind> dispatched; // what the server makes of it
    };
    const Case cases[] = {
        {[&] { client->sendIam(7, QStringLiteral("pc-07")); }, "Iam|7|pc-07|", true, Kind::Iam},
        {[&] { client->sendGetQuestions(); }, "!GetQuestions", true, Kind::GetQuestions},
        {[&] { client->send(rout(3, {QStringLiteral("1")})); }, "Rout|3|1\r\n|", true, Kind::Rout},
        {[&] {
             client->sendReport({1, QStringLiteral("Да"), 1, 60});
         },
         QStringLiteral("Report|QueID=1\r\nsRslt=Да\r\nShownCount=1\r\nTimeRemain=60\r\n|"), true, Kind::Report},
        {[&] { client->send(totalReport({QStringLiteral("1=0")})); }, "TotalReport|1=0\r\n|", true, Kind::TotalReport},
        {[&] { client->send(finishReport({QStringLiteral("1=0")})); }, "FinishReport|1=0\r\n|", true,
         Kind::FinishReport},
        {[&] { client->sendCriteriaNeeded(); }, "!CriteriaNeeded|", true, Kind::CriteriaNeeded},
        {[&] { client->send(command(Head::NoopEcho)); }, "!NOOP ECHO", true, Kind::NoopEcho},
        {[&] { client->sendNoop(); }, "!NOOP", false, std::nullopt},
        {[&] { client->send(command(Head::ReceivingError)); }, "!ReceivingError", true, std::nullopt},
    };
    for (const Case& c : cases) {
        RunLog::clear();
        const qsizetype before = serverMessages[0].size();
        c.send();
        ASSERT_TRUE(QTest::qWaitFor([&] { return logged(inEntry(c.wireText)); }, WaitMs)) << c.wireText.toStdString();
        EXPECT_EQ(logged(outEntry(c.wireText)), c.loggedOut) << c.wireText.toStdString();
        if (c.wireText == "!NOOP") {
            // "!NOOP" may still turn into "!NOOP ECHO": it waits for the next bytes, which say no
            client->send(command(Head::GetQuestions));
            ASSERT_TRUE(QTest::qWaitFor([&] { return serverMessages[0].size() > before; }, WaitMs));
            EXPECT_EQ(serverMessages[0].last().kind, Kind::GetQuestions);
            continue;
        }
        QTest::qWait(20);
        if (c.dispatched) {
            ASSERT_EQ(serverMessages[0].size(), before + 1) << c.wireText.toStdString();
            EXPECT_EQ(serverMessages[0].last().kind, *c.dispatched) << c.wireText.toStdString();
        } else {
            EXPECT_EQ(serverMessages[0].size(), before) << c.wireText.toStdString();
        }
    }
    EXPECT_EQ(serverMessages[0][0].hostName, "pc-07");
    EXPECT_EQ(serverMessages[0][3].report.sRslt, QStringLiteral("Да"));
}

TEST_F(Loopback, EveryServerMessageIsSentReceivedDispatchedAndLogged)
{
    using Kind = ServerMessage::Kind;
    struct Case
    {
        QByteArray message;
        std::optional<QString> outText; // the server's log text, none when sent unlogged
        std::optional<Kind> dispatched;
    };
    const Case cases[] = {
        {setPorts(9100, 4600), std::nullopt, Kind::SetPorts},
        {allowRequest(4, true, QStringLiteral("Дроби")), QStringLiteral("!AllowRequest|4|1|Дроби"), Kind::AllowRequest},
        {command(Head::DenyRequest), QStringLiteral("!DenyRequest"), Kind::DenyRequest},
        {ready(4), std::nullopt, Kind::Ready},
        {settingsList({QStringLiteral("TimeLimit=0")}), QStringLiteral("SettingsList......"), Kind::SettingsList},
        {yourPrePointsAre(QStringLiteral("4"), 75, {QStringLiteral("1=1,00")}),
         QStringLiteral("YourPrePointsAre|4|75,0|1=1,00\r\n"), Kind::YourPrePointsAre},
        {yourFinalPointsAre(5), QStringLiteral("YourFinalPointsAre..."), Kind::YourFinalPointsAre},
        {criteriaListIs({QStringLiteral("Na5=90")}), QStringLiteral("!CriteriaListIs|Na5=90\r\n"),
         Kind::CriteriaListIs},
        {command(Head::NextStudent), QStringLiteral("!NextStudent"), Kind::NextStudent},
        {command(Head::CloseClient), QStringLiteral("!CloseClient"), Kind::CloseClient},
        {command(Head::Noop), std::nullopt, Kind::Noop},
        {command(Head::NeedRoute), QStringLiteral("!NeedRoute"), std::nullopt},
        {command(Head::WhoAreYou), QStringLiteral("!WhoAreYou"), Kind::WhoAreYou},
    };
    for (const Case& c : cases) {
        RunLog::clear();
        const qsizetype before = studentMessages[0].size();
        serverEnd->send(c.message);
        QString shown = fromCp1251Text(c.message);
        ASSERT_TRUE(QTest::qWaitFor([&] { return logged(inEntry(shown)); }, WaitMs)) << shown.toStdString();
        if (c.outText) {
            EXPECT_TRUE(logged(outEntry(*c.outText))) << shown.toStdString();
        } else {
            EXPECT_EQ(RunLog::lines().filter(QStringLiteral("Out:")).size(), 0) << shown.toStdString();
        }
        ASSERT_EQ(studentMessages[0].size(), before + (c.dispatched ? 1 : 0)) << shown.toStdString();
        if (c.dispatched) {
            EXPECT_EQ(studentMessages[0].last().kind, *c.dispatched) << shown.toStdString();
        }
    }
}

TEST_F(Loopback, QuestionSetStreamsAfterThePauseAndArrivesWhole)
{
    const QByteArray payload = patternBytes(700 * 1024);
    const QString path = writeFile(QStringLiteral("set.cmpr"), payload);
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(serverEnd->sendQuestionSet({QStringLiteral("TimeLimit=-1")}, path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !studentMessages[0].isEmpty(); }, WaitMs));
    EXPECT_EQ(studentMessages[0][0].kind, ServerMessage::Kind::SettingsList);
    // the head is held back by the pause, well short of its 500 ms
    QTest::qWait(200);
    EXPECT_EQ(announced, -1);
    EXPECT_FALSE(client->receivingQuestionSet());

    ASSERT_TRUE(QTest::qWaitFor([&] { return !receivedSets.isEmpty(); }, WaitMs));
    EXPECT_EQ(announced, payload.size());
    EXPECT_EQ(receivedSets[0].second, payload);
    EXPECT_TRUE(QTest::qWaitFor([&] { return setsSent == 1; }, WaitMs));
    EXPECT_TRUE(logged(outEntry(QStringLiteral("SettingsList......"))));
    EXPECT_TRUE(logged(outEntry(QStringLiteral("QuestionList......"))));
    EXPECT_TRUE(logged(inEntry(QStringLiteral("QuestionList......"))));
    EXPECT_EQ(loggedCount(QStringLiteral("In: \"QuestionList......\"")), 1) << "set bytes are never logged";
    // idle once the gap after the set has passed
    EXPECT_TRUE(QTest::qWaitFor([&] { return serverEnd->isIdle(); }, WaitMs));
}

TEST_F(Loopback, OneConnectionsPauseDoesNotHoldBackAnother)
{
    StudentConnection* second = connectStudent();
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverEnds.size() == 2 && second->isConnected(); }, WaitMs));
    const QString path = writeFile(QStringLiteral("set.cmpr"), patternBytes(1000));
    ASSERT_TRUE(serverEnd->sendQuestionSet({}, path));
    serverEnd->send(command(Head::NextStudent)); // queued behind the set on the first connection
    serverEnds[1]->send(command(Head::WhoAreYou));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !studentMessages[1].isEmpty(); }, WaitMs));
    EXPECT_EQ(studentMessages[1][0].kind, ServerMessage::Kind::WhoAreYou);
    EXPECT_TRUE(receivedSets.isEmpty()) << "the first connection is still in its pause";
    ASSERT_TRUE(QTest::qWaitFor([&] { return studentMessages[0].size() == 2; }, WaitMs));
    ASSERT_EQ(receivedSets.size(), 1);
    EXPECT_EQ(studentMessages[0][1].kind, ServerMessage::Kind::NextStudent) << "order on the wire is kept";
}

TEST_F(Loopback, SeveralConnectionsStreamOneFileEvenWhenItIsDeletedMeanwhile)
{
    for (int i = 0; i < 3; ++i)
        connectStudent();
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverEnds.size() == 4; }, WaitMs));
    const QByteArray payload = patternBytes(1024 * 1024 + 17);
    const QString path = writeFile(QStringLiteral("QuestionList.cmpr"), payload);
    for (ServerConnection* c : serverEnds)
        ASSERT_TRUE(c->sendQuestionSet({}, path));
    // the hand-out removes its file as soon as it has handed the sets over
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receivedSets.size() == 4; }, WaitMs * 2));
    for (const auto& [index, bytes] : receivedSets)
        EXPECT_EQ(bytes, payload) << "client " << index;
}

TEST_F(Loopback, MissingSetFileSendsNothingAndIsLogged)
{
    EXPECT_FALSE(serverEnd->sendQuestionSet({QStringLiteral("A=1")}, testPath(QStringLiteral("none.cmpr"))));
    EXPECT_TRUE(logged(QStringLiteral("Questions sending error. Client: 127.0.0.1")));
    serverEnd->send(command(Head::WhoAreYou));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !studentMessages[0].isEmpty(); }, WaitMs));
    EXPECT_EQ(studentMessages[0].size(), 1);
    EXPECT_EQ(studentMessages[0][0].kind, ServerMessage::Kind::WhoAreYou);
}

TEST_F(Loopback, StudentPausesKeepReportsApart)
{
    RunLog::clear();
    client->sendRout(2, {QStringLiteral("1"), QStringLiteral("2")});
    client->sendReport({1, QStringLiteral("0"), 1, 10});
    client->sendReport({2, QStringLiteral("1"), 2, 5});
    client->sendFinishReport({QStringLiteral("1=0"), QStringLiteral("2=1")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !serverMessages[0].isEmpty(); }, WaitMs));
    QTest::qWait(200);
    ASSERT_EQ(serverMessages[0].size(), 1) << "the reports wait for the pause after Rout";
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverMessages[0].size() == 4; }, WaitMs));
    const StudentMessage::Kind order[] = {StudentMessage::Kind::Rout, StudentMessage::Kind::Report,
                                          StudentMessage::Kind::Report, StudentMessage::Kind::FinishReport};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(serverMessages[0][i].kind, order[i]);
    // Rout, the two reports and the final report came in three separate reads at least
    EXPECT_GE(RunLog::lines().filter(QStringLiteral("In: ")).size(), 3);
}

namespace {

// A bare peer socket, to put exact bytes on the wire in chosen writes.
class RawWriter
{
public:
    explicit RawWriter(QTcpSocket* socket) : m_socket(socket) {}
    void write(const QByteArray& bytes)
    {
        m_socket->write(bytes);
        m_socket->flush();
    }

private:
    QTcpSocket* m_socket;
};

} // namespace

TEST_F(Loopback, ServerTakesSplitAndMergedMessagesOnceAndDropsBadNumbers)
{
    QTcpSocket raw;
    ASSERT_TRUE(connectRaw(raw));
    RawWriter w(&raw);
    const QByteArray two = wire("Iam|0|raw|Report|QueID=3\r\nsRslt=x\r\nShownCount=1\r\nTimeRemain=9\r\n|");
    w.write(two.first(5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(inEntry(QStringLiteral("Iam|0"))); }, WaitMs));
    w.write(two.sliced(5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverMessages[1].size() == 2; }, WaitMs));
    EXPECT_EQ(serverMessages[1][0].hostName, "raw");
    EXPECT_EQ(serverMessages[1][1].report.queId, 3);

    w.write(wire("Iam|x1|raw|") + "!GetQuestions");
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverMessages[1].size() == 3; }, WaitMs));
    EXPECT_EQ(serverMessages[1][2].kind, StudentMessage::Kind::GetQuestions);
    EXPECT_TRUE(logged(QStringLiteral("Message \"Iam\" dropped: topic id \"x1\" is not a decimal number")));
    QTest::qWait(20);
    EXPECT_EQ(serverMessages[1].size(), 3);
}

namespace {

// A server end that writes raw bytes to a StudentConnection.
class RawServer : public testing::Test
{
protected:
    void SetUp() override
    {
        RunLog::clear();
        ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&student, &StudentConnection::messageReceived,
                         [this](const ServerMessage& m) { messages += m; });
        QObject::connect(&student, &StudentConnection::questionSetReceived, [this](const QByteArray& b) { sets += b; });
        QObject::connect(&student, &StudentConnection::questionSetFailed, [this](const QString& p) { failures += p; });
        QObject::connect(&student, &StudentConnection::socketError, [this](int code) {
            codes += code;
            openAtError = openAtError || student.isConnected() || disconnections == 0;
        });
        QObject::connect(&student, &StudentConnection::disconnected, [this] { ++disconnections; });
        student.connectToServer(QStringLiteral("127.0.0.1"), listener.serverPort());
        ASSERT_TRUE(QTest::qWaitFor([&] { return listener.hasPendingConnections(); }, WaitMs));
        peer = listener.nextPendingConnection();
        ASSERT_TRUE(QTest::qWaitFor([&] { return student.isConnected(); }, WaitMs));
    }
    void write(const QByteArray& bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
    QByteArray readFromStudent(const QByteArray& expected)
    {
        QByteArray got;
        // the caller compares what came; a timeout shows there as a short answer
        (void)QTest::qWaitFor(
            [&] {
                got += peer->readAll();
                return got.size() >= expected.size();
            },
            WaitMs);
        return got;
    }

    QTcpServer listener;
    QTcpSocket* peer = nullptr;
    StudentConnection student;
    QList<ServerMessage> messages;
    QList<QByteArray> sets;
    QStringList failures;
    QList<int> codes; // socket errors
    int disconnections = 0;
    bool openAtError = false; // the owner heard of an error before the connection was closed
};

} // namespace

TEST_F(RawServer, QuestionSetCompletesOnTheReadThatReachesTheCount)
{
    const QByteArray payload = patternBytes(3000);
    write(questionListHead(payload.size()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return student.receivingQuestionSet(); }, WaitMs));
    for (int part = 0; part < 3; ++part) {
        EXPECT_TRUE(sets.isEmpty()) << "before part " << part;
        write(payload.sliced(part * 1000, 1000));
        if (part < 2) {
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return student.receivedQuestionSetBytes() == (part + 1) * 1000; }, WaitMs));
        }
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sets.isEmpty(); }, WaitMs));
    EXPECT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0], payload);
    EXPECT_FALSE(student.receivingQuestionSet());
}

TEST_F(RawServer, RefusedByteCountIsAnsweredWithReceivingError)
{
    write(wire("QuestionList|-1|"));
    const QByteArray answer = readFromStudent(command(Head::ReceivingError));
    EXPECT_EQ(answer, command(Head::ReceivingError));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(logged(QStringLiteral("Error. QuestionList NOT received.")));
    EXPECT_TRUE(logged(outEntry(QStringLiteral("!ReceivingError"))));
    write(command(Head::Noop));
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 1; }, WaitMs));
    EXPECT_TRUE(peer->readAll().isEmpty()) << "the connection object does not answer by itself";
    EXPECT_EQ(messages[0].kind, ServerMessage::Kind::Noop);
}

TEST_F(RawServer, MessagesSplitOverReadsAreDispatchedOnce)
{
    const QByteArray stream = ready(12) + settingsList({QStringLiteral("A=1")}) + command(Head::WhoAreYou);
    for (qsizetype cut : {qsizetype(3), qsizetype(10), qsizetype(20)}) {
        messages.clear();
        write(stream.first(cut));
        QTest::qWait(30);
        write(stream.sliced(cut));
        ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() == 3; }, WaitMs)) << "cut " << cut;
        EXPECT_EQ(messages[0].topicId, 12);
        EXPECT_EQ(messages[1].lines, QStringList{"A=1"});
        EXPECT_EQ(messages[2].kind, ServerMessage::Kind::WhoAreYou);
        QTest::qWait(20);
        EXPECT_EQ(messages.size(), 3);
    }
}

TEST(LoopbackErrors, RefusedConnectionIsLoggedWithItsWindowsCode)
{
    RunLog::clear();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    StudentConnection student;
    QList<int> codes;
    QObject::connect(&student, &StudentConnection::socketError, [&](int code) { codes += code; });
    student.connectToServer(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !codes.isEmpty(); }, WaitMs));
    EXPECT_EQ(codes[0], 10061);
    EXPECT_TRUE(logged(QStringLiteral("ErrorCode=10061 (No connection could be made because the target machine "
                                      "actively refused it)")));
    student.sendNoop(); // without a connection nothing goes and nothing is logged
    EXPECT_TRUE(RunLog::lines().filter(QStringLiteral("Out:")).isEmpty());
}

// --- resets and orderly closes ---

namespace {

constexpr char ResetEntry[] = "ErrorCode=10054 (An existing connection was forcibly closed by the remote host)";

// A bare blocking socket connected to a loopback port; it reads nothing unless told.
int connectBare(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// With a zero linger time the close sends a reset (RST) instead of the orderly end (FIN).
void closeBare(int fd, bool reset)
{
    if (reset) {
        const linger abortive{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    ::close(fd);
}

qsizetype logIndex(const QString& tail)
{
    const QStringList lines = RunLog::lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].endsWith(tail))
            return i;
    }
    return -1;
}

// The server's end of one bare peer, with what it reports.
struct ServerSide
{
    ServerSide()
    {
        QObject::connect(&server, &CommandServer::clientConnected, [this](ServerConnection* c) {
            end = c;
            QObject::connect(c, &ProtocolConnection::socketError, [this](int code) {
                codes += code;
                heardBeforeClosed = heardBeforeClosed || !closedLogged();
            });
            QObject::connect(c, &ProtocolConnection::disconnected,
                             [this] { heardBeforeClosed = heardBeforeClosed || !closedLogged(); });
            QObject::connect(c, &ServerConnection::questionSetFailed, [this] { ++setsFailed; });
        });
        QObject::connect(&server, &CommandServer::clientDisconnected, [this] { ++disconnected; });
    }
    // Listens, connects a bare peer and waits for its server end: the peer's descriptor, or -1.
    int connectPeer()
    {
        const int fd = server.listen(0) ? connectBare(server.port()) : -1;
        if (fd >= 0 && !QTest::qWaitFor([&] { return end != nullptr; }, WaitMs)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    static bool closedLogged() { return !RunLog::lines().filter(QStringLiteral("Closed")).isEmpty(); }
    CommandServer server;
    ServerConnection* end = nullptr;
    QList<int> codes;
    bool heardBeforeClosed = false; // the owner was told of the reset before the close was logged
    int disconnected = 0;
    int setsFailed = 0;
};

} // namespace

TEST(LoopbackClose, ServerTakesAResetAsASocketErrorAndAnOrderlyCloseAsADisconnection)
{
    for (const bool reset : {true, false}) {
        SCOPED_TRACE(reset ? "reset" : "orderly close");
        RunLog::clear();
        ServerSide side;
        const int fd = side.connectPeer();
        ASSERT_GE(fd, 0);
        closeBare(fd, reset);
        ASSERT_TRUE(QTest::qWaitFor([&] { return side.disconnected == 1; }, WaitMs));
        EXPECT_TRUE(side.server.connections().isEmpty());
        if (reset) {
            EXPECT_EQ(side.codes, QList<int>{10054});
            const qsizetype error = logIndex(QString::fromLatin1(ResetEntry));
            ASSERT_GE(error, 0);
            EXPECT_GT(logIndex(QStringLiteral("Socket \"127.0.0.1\" Closed")), error);
            EXPECT_FALSE(side.heardBeforeClosed) << "log, close, log the close, and only then tell the owner";
        } else {
            EXPECT_TRUE(side.codes.isEmpty());
            EXPECT_TRUE(RunLog::lines().filter(QStringLiteral("ErrorCode=")).isEmpty());
            EXPECT_TRUE(RunLog::lines().filter(QStringLiteral("Closed")).isEmpty());
        }
    }
}

TEST(LoopbackClose, ResetDuringTheQuestionSetEndsItAsASendingError)
{
    RunLog::clear();
    ServerSide side;
    const int fd = side.connectPeer();
    ASSERT_GE(fd, 0);
    // far more than the socket buffers hold while the peer reads nothing
    const QString path = writeFile(QStringLiteral("big.cmpr"), patternBytes(16 * 1024 * 1024));
    ASSERT_FALSE(path.isEmpty());
    ASSERT_TRUE(side.end->sendQuestionSet({}, path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(outEntry(QStringLiteral("QuestionList......"))); }, WaitMs));
    QTest::qWait(50);
    ASSERT_FALSE(side.end->isIdle()) << "the set must still be streaming when the peer resets";
    closeBare(fd, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return side.disconnected == 1; }, WaitMs));
    EXPECT_EQ(side.setsFailed, 1);
    EXPECT_EQ(side.codes, QList<int>{10054});
    EXPECT_TRUE(logged(QStringLiteral("Questions sending error. Client: 127.0.0.1")));
    EXPECT_TRUE(logged(QString::fromLatin1(ResetEntry)));
}

TEST_F(RawServer, StudentTakesAResetAsASocketError)
{
    const linger abortive{1, 0};
    ASSERT_EQ(::setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive), 0);
    peer->abort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return disconnections == 1; }, WaitMs));
    EXPECT_EQ(codes, QList<int>{10054});
    EXPECT_TRUE(logged(QString::fromLatin1(ResetEntry)));
    EXPECT_FALSE(student.isConnected());
    EXPECT_FALSE(openAtError) << "closed, and the disconnection told, before the error";
    EXPECT_TRUE(RunLog::lines().filter(QStringLiteral("Closed")).isEmpty()) << "only the server logs the close";
}

TEST_F(RawServer, StudentTakesAnOrderlyCloseAsADisconnectionOnly)
{
    peer->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return disconnections == 1; }, WaitMs));
    EXPECT_TRUE(codes.isEmpty());
    EXPECT_TRUE(RunLog::lines().filter(QStringLiteral("ErrorCode=")).isEmpty());
}

TEST_F(Loopback, EachSidesOwnCloseReachesThePeer)
{
    // the student leaves: the server sees it go
    int gone = 0;
    QObject::connect(&server, &CommandServer::clientDisconnected, [&] { ++gone; });
    client->disconnectFromServer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gone == 1; }, WaitMs));

    // the server drops a computer: the student sees it go
    StudentConnection* second = connectStudent();
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverEnds.size() == 2 && second->isConnected(); }, WaitMs));
    bool secondGone = false;
    QObject::connect(second, &StudentConnection::disconnected, [&] { secondGone = true; });
    serverEnds[1]->socket()->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondGone; }, WaitMs));
    EXPECT_TRUE(RunLog::lines().filter(QStringLiteral("ErrorCode=")).isEmpty());
}

// --- each message its own read; unsent messages; unended messages ---

namespace {

// A peer that takes everything one read event brings as one message, as the Windows programs do.
struct ReadRecorder
{
    explicit ReadRecorder(QTcpSocket* socket)
    {
        QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { reads += socket->readAll(); });
    }
    QList<QByteArray> reads;
};

} // namespace

// The server's end of a connection, with a bare student computer as its peer.
struct BareStudent
{
    bool connect()
    {
        QObject::connect(&server, &CommandServer::clientConnected, [this](ServerConnection* c) { end = c; });
        bare.connectToHost(QStringLiteral("127.0.0.1"), server.listen(0) ? server.port() : 0);
        return QTest::qWaitFor([&] { return end != nullptr && bare.state() == QAbstractSocket::ConnectedState; },
                               WaitMs);
    }
    CommandServer server;
    ServerConnection* end = nullptr;
    QTcpSocket bare;
    ReadRecorder reads{&bare};
};

TEST_F(RawServer, MessagesSentBackToBackArriveInReadsOfTheirOwn)
{
    BareStudent computer;
    ASSERT_TRUE(computer.connect());
    ReadRecorder atServer(peer);

    const QList<QByteArray> fromServer = {yourFinalPointsAre(5), command(Head::NextStudent), setPorts(9100, 4600),
                                          allowRequest(3, false, QStringLiteral("Дроби")), command(Head::WhoAreYou)};
    for (const QByteArray& m : fromServer)
        computer.end->send(m); // all in one turn of the event loop
    student.sendReport({1, QStringLiteral("0"), 1, 60});
    student.sendReport({2, QStringLiteral("1"), 2, 50});
    student.sendCriteriaNeeded();
    const QList<QByteArray> fromStudent = {report({1, QStringLiteral("0"), 1, 60}),
                                           report({2, QStringLiteral("1"), 2, 50}), criteriaNeeded()};

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return computer.reads.reads.join() == fromServer.join() && atServer.reads.join() == fromStudent.join(); },
        WaitMs));
    EXPECT_EQ(computer.reads.reads, fromServer);
    EXPECT_EQ(atServer.reads, fromStudent);
}

TEST_F(RawServer, AMessageAfterAQuestionSetArrivesInAReadOfItsOwn)
{
    // Reader and sender share this thread: a machine loaded enough to hold the thread back past
    // the gap merges the reads whatever the sender does, so a few attempts are allowed. A gap that
    // starts before the set has left merges them every time.
    const QByteArray payload = patternBytes(4 * 1024 * 1024);
    const QString path = writeFile(QStringLiteral("set.cmpr"), payload);
    const QByteArray expected =
        settingsList({QStringLiteral("A=1")}) + questionListHead(payload.size()) + payload + command(Head::NextStudent);
    bool apart = false;
    for (int attempt = 0; attempt < 3 && !apart; ++attempt) {
        BareStudent computer;
        ASSERT_TRUE(computer.connect());
        ASSERT_TRUE(computer.end->sendQuestionSet({QStringLiteral("A=1")}, path));
        computer.end->send(command(Head::NextStudent));
        ASSERT_TRUE(QTest::qWaitFor([&] { return computer.reads.reads.join().size() == expected.size(); }, WaitMs * 2));
        ASSERT_EQ(computer.reads.reads.join(), expected);
        apart = computer.reads.reads.last() == command(Head::NextStudent);
    }
    EXPECT_TRUE(apart) << "the message came in the set's last read";
}

TEST_F(RawServer, RefusedByteCountThenCloseClientIsHandled)
{
    write(wire("QuestionList|99999999999|"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failures.size() == 1; }, WaitMs));
    EXPECT_EQ(readFromStudent(command(Head::ReceivingError)), command(Head::ReceivingError));
    // the server goes on with bytes of the set it announced, then closes the student's program
    write(patternBytes(8192));
    QTest::qWait(30);
    write(command(Head::CloseClient));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, WaitMs));
    EXPECT_EQ(messages[0].kind, ServerMessage::Kind::CloseClient);
    EXPECT_TRUE(logged(inEntry(QStringLiteral("!CloseClient"))));
    EXPECT_TRUE(logged(QStringLiteral("Bytes of an unfinished question set dropped")));
    EXPECT_EQ(RunLog::lines().filter(QStringLiteral("In: ")).size(), 2) << "the set head and !CloseClient only";
}

TEST_F(RawServer, RestOfASetWhoseWaitRanOutIsDroppedAndTheNextMessageTaken)
{
    write(questionListHead(100000) + patternBytes(1000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return student.receivedQuestionSetBytes() == 1000; }, WaitMs));
    student.abortQuestionSet(); // the student's wait for the set ran out
    write(patternBytes(5000));
    QTest::qWait(30);
    write(command(Head::NextStudent));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.isEmpty(); }, WaitMs));
    EXPECT_EQ(messages[0].kind, ServerMessage::Kind::NextStudent);
    EXPECT_TRUE(sets.isEmpty());
    EXPECT_EQ(RunLog::lines().filter(QStringLiteral("In: ")).size(), 2) << "the set head and !NextStudent only";
}

TEST_F(Loopback, QueuedMessagesOfADroppedLinkAreReportedUnsent)
{
    QList<QByteArray> unsent;
    bool disconnectedBeforeReport = false;
    bool gone = false;
    QObject::connect(client, &ProtocolConnection::messageUnsent, [&](const QByteArray& m) {
        unsent += m;
        disconnectedBeforeReport = disconnectedBeforeReport || gone;
    });
    QObject::connect(client, &ProtocolConnection::disconnected, [&] { gone = true; });
    const QStringList results{QStringLiteral("1=0"), QStringLiteral("2=1")};
    client->sendReport({2, QStringLiteral("1"), 2, 5});
    client->sendFinishReport(results); // waits 500 ms behind its pause
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverMessages[0].size() == 1; }, WaitMs));
    serverEnd->socket()->abort();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gone; }, WaitMs));
    EXPECT_EQ(unsent, QList<QByteArray>{finishReport(results)});
    EXPECT_FALSE(disconnectedBeforeReport) << "the owner hears of the unsent message first";
    EXPECT_TRUE(logged(QStringLiteral("Not sent to \"127.0.0.1\": \"FinishReport|1=0\r\n2=1\r\n|\"")));
    EXPECT_TRUE(client->isIdle());

    // a message sent with no connection at all is reported as well
    client->sendGetQuestions();
    EXPECT_EQ(unsent.size(), 2);
    EXPECT_EQ(unsent.last(), command(Head::GetQuestions));
}

TEST_F(Loopback, AMessageWithoutItsLastNulIsNotHeldBeyondItsWaitNorSwallowsTheNext)
{
    QTcpSocket raw;
    ASSERT_TRUE(connectRaw(raw));
    RawWriter w(&raw);

    // the next message begins a read of its own: the unended one goes out as it is
    w.write(wire("Iam|0|raw-1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged(inEntry(QStringLiteral("Iam|0|raw-1"))); }, WaitMs));
    w.write(report({4, QStringLiteral("x"), 1, 9}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverMessages[1].size() == 2; }, WaitMs));
    EXPECT_EQ(serverMessages[1][0].kind, StudentMessage::Kind::Iam);
    EXPECT_EQ(serverMessages[1][0].hostName, "raw-1");
    EXPECT_EQ(serverMessages[1][1].kind, StudentMessage::Kind::Report);
    EXPECT_EQ(serverMessages[1][1].report.queId, 4);

    // nothing follows: the held bytes go out when the wait is over
    serverEnds[1]->setHoldMs(200);
    w.write(wire("Iam|0|raw-2"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return serverMessages[1].size() == 3; }, WaitMs));
    EXPECT_EQ(serverMessages[1][2].hostName, "raw-2");
}
