// Registration, re-attachment, request mode, the open topic and the cache references, driven by
// protocol peers on loopback.
#include "datamodules.h"
#include "messagerecorder.h"
#include "runlog.h"
#include "serverfixture.h"

#include <QTcpSocket>
#include <QTest>
#include <QThread>

using K = Protocol::ServerMessage::Kind;

TEST_F(ServerTest, IdentificationMakesARowAndADroppedEmptyRowGoes)
{
    Peer& p = addPeer(2);
    EXPECT_EQ(rowValue(p.address, "PcName").toString(), "PC-2");
    EXPECT_EQ(rowValue(p.address, "QuestionsGiven").toBool(), false);
    EXPECT_TRUE(logged("Inserted to DB: \"127.0.0.2\". RecordCount=1"));
    EXPECT_TRUE(logged("Connected \"127.0.0.2\". ActiveConnections=1"));
    p.connection.disconnectFromServer();
    ASSERT_TRUE(waitRows(0));
    EXPECT_TRUE(logged("\"127.0.0.2\" disconnected . ActiveConnections=0"));
    EXPECT_TRUE(logged("\"127.0.0.2\" deleted from DB. RecordCount=0"));
    EXPECT_EQ(server->phase(), ServerPhase::NoTopic);
}

TEST_F(ServerTest, ASecondConnectionOfARegisteredComputerIsClosedAndItsEndKeepsTheRow)
{
    Peer& first = addPeer(2);
    Peer second(first.address);
    ASSERT_TRUE(second.connectTo(server->tcpPort()));
    second.iam();
    ASSERT_TRUE(second.waitClosed());
    EXPECT_EQ(rowCount(), 1);
    EXPECT_TRUE(server->isConnected(first.address)); // the registered one stays bound
    EXPECT_FALSE(logged("Restart Server!!!"));
}

TEST_F(ServerTest, ASlowIamNeverRestartsTheServer)
{
    makeTopic(3);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    addPeer(2);
    Peer silent(QStringLiteral("127.0.0.3"));
    ASSERT_TRUE(silent.connectTo(server->tcpPort()));
    addPeer(4);
    QTest::qWait(50);
    EXPECT_FALSE(logged("Restart Server!!!"));
    EXPECT_EQ(rowCount(), 2);
    EXPECT_FALSE(silent.closed);
}

TEST_F(ServerTest, OpeningATopicTellsEveryComputerAndCollectsSubtopics)
{
    makeTopic(2);
    const int sub = bank->addTopic(u8("Дроби"), topic);
    const int deeper = bank->addTopic(u8("Десятичные"), sub);
    bank->addChoice(sub, "S1");
    bank->addChoice(deeper, "D1");
    Peer& p = addPeer(2);
    QString caption;
    QObject::connect(server.get(), &TestingServer::captionChanged, [&](const QString& c) { caption = c; });
    ASSERT_TRUE(server->OpenTestTopic(u8("алгебра"))); // names compare without case
    EXPECT_EQ(server->openTopicQuestionCount(), 4);
    EXPECT_EQ(caption, u8("Vastrel Vezuviroz 4.0.1 - Алгебра (4 вопр.)"));
    EXPECT_EQ(server->phase(), ServerPhase::TopicOpen);
    ASSERT_TRUE(p.waitFor(K::Ready));
    EXPECT_EQ(p.last(K::Ready)->topicId, topic);
}

TEST_F(ServerTest, AMissingTopicIsToldAndTheOpenTopicStays)
{
    makeTopic(2);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    MessageRecorder messages;
    EXPECT_FALSE(server->OpenTestTopic(999));
    EXPECT_FALSE(server->OpenTestTopic(u8("Нет такой")));
    EXPECT_EQ(messages.texts, (QStringList{u8("Тема № 999 не найдена."), u8("Тема \"Нет такой\" не найдена.")}));
    EXPECT_EQ(server->openTopicId(), topic);
    EXPECT_EQ(server->openTopicQuestionCount(), 2);
}

TEST_F(ServerTest, RequestModeAllowsDeniesAndAnswersALateComputer)
{
    makeTopic(3);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& a = addPeer(2);
    server->SetRequestMode(true);
    ASSERT_TRUE(a.waitFor(K::AllowRequest));
    EXPECT_EQ(a.last(K::AllowRequest)->topicId, topic);
    EXPECT_FALSE(a.last(K::AllowRequest)->retry);
    EXPECT_EQ(a.last(K::AllowRequest)->text, u8("Алгебра"));
    // a computer that comes with topic 0 makes every computer hear it again
    Peer& b = addPeer(3);
    ASSERT_TRUE(a.waitFor(K::AllowRequest, 2));
    ASSERT_TRUE(b.waitFor(K::AllowRequest));
    server->SetRequestMode(false);
    ASSERT_TRUE(a.waitFor(K::DenyRequest));
    ASSERT_TRUE(b.waitFor(K::DenyRequest));
}

TEST_F(ServerTest, AQuestionRequestGetsASetForTheRequesterOnly)
{
    makeTopic(4);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    server->SetRequestMode(true);
    Peer& asking = addPeer(2);
    Peer& other = addPeer(3);
    asking.connection.sendGetQuestions();
    ASSERT_TRUE(asking.waitForSet());
    EXPECT_EQ(asking.sets.last().rowCount(), 4);
    EXPECT_TRUE(waitRowValue(asking.address, "QuestionsGiven", true));
    EXPECT_EQ(rowValue(other.address, "QuestionsGiven").toBool(), false);
    EXPECT_TRUE(other.sets.isEmpty());
}

TEST_F(ServerTest, AQuestionRequestDuringAHandOutIsAskedToRetry)
{
    makeTopic(4);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& a = addPeer(2);
    Peer& b = addPeer(3);
    // the request is in the server's socket when the hand-out starts: it is read between its steps
    b.connection.socket()->write(Protocol::command(Protocol::Head::GetQuestions)); // past the send queue
    b.connection.socket()->flush();
    QThread::msleep(20);
    server->HandOutQuestions();
    ASSERT_TRUE(server->isHandingOut());
    ASSERT_TRUE(a.waitFor(K::AllowRequest));
    ASSERT_TRUE(b.waitFor(K::AllowRequest));
    EXPECT_TRUE(a.last(K::AllowRequest)->retry);
    ASSERT_TRUE(a.waitForSet());
    ASSERT_TRUE(b.waitForSet());
    QTest::qWait(100);
    EXPECT_EQ(b.sets.size(), 1); // no second package for the request
}

TEST_F(ServerTest, ADroppedComputerWithAWorkKeepsItsRowAndTakesItBack)
{
    makeTopic(3);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& p = addPeer(2);
    handOutAndWait();
    const QList<int> ids = p.setIds();
    p.connection.disconnectFromServer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server->isConnected(p.address); }, 5000));
    EXPECT_EQ(rowCount(), 1);
    EXPECT_TRUE(logged("\"127.0.0.2\" keeps its row: the work waits for the computer or for filing"));
    EXPECT_EQ(bank->dm.topicQuestionCache()->findTopic(topic)->references, 1);

    Peer again(p.address);
    ASSERT_TRUE(again.connectTo(server->tcpPort()));
    again.iam(topic);
    // the topic is cached: the computer is still told "!Ready" so that its answers come back
    ASSERT_TRUE(again.waitFor(K::Ready));
    EXPECT_TRUE(server->isConnected(p.address));
    EXPECT_TRUE(logged("\"127.0.0.2\" takes its row back"));
    EXPECT_EQ(bank->dm.topicQuestionCache()->findTopic(topic)->references, 1); // not counted twice
    QStringList answers;
    for (int id : ids)
        answers << QStringLiteral("%1=1").arg(id);
    again.connection.send(Protocol::totalReport(answers));
    ASSERT_TRUE(waitRowValue(p.address, "RightsPercent", 100.0));
    EXPECT_EQ(rowCount(), 1);
}

TEST_F(ServerTest, CacheReferencesFollowTheRowsThatHoldWorks)
{
    makeTopic(3);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& a = addPeer(2);
    Peer& b = addPeer(3);
    handOutAndWait();
    TopicQuestionCache* cache = bank->dm.topicQuestionCache();
    ASSERT_NE(cache->findTopic(topic), nullptr);
    EXPECT_EQ(cache->findTopic(topic)->references, 2);
    EXPECT_EQ(loggedCount("QueDataSet is stored. TopicList.Count=1"), 1);
    server->ClearWorkplace(a.address, false);
    EXPECT_EQ(cache->findTopic(topic)->references, 1);
    server->DeleteRow(b.address);
    EXPECT_EQ(cache->findTopic(topic), nullptr);
    EXPECT_TRUE(logged("QueDataSet is removed from list. TopicList.Count=0"));
    EXPECT_EQ(prompts.asked.size(), 1); // the row deletion asks, the clearing without asking does not
}

TEST_F(ServerTest, RestartKeepsWorksAndDropsTheRest)
{
    makeTopic(3);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& working = addPeer(2);
    handOutAndWait();
    Peer& idle = addPeer(3);
    bool restarted = false;
    QObject::connect(server.get(), &TestingServer::restartFinished, [&] { restarted = true; });
    server->RestartServer(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return restarted; }, 5000));
    EXPECT_TRUE(logged("Restart Server!!!"));
    EXPECT_TRUE(logged("Server is Active. It is waiting..."));
    ASSERT_TRUE(working.waitClosed());
    ASSERT_TRUE(idle.waitClosed());
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(rowValue(working.address, "QuestionsGiven").toBool(), true);
    // the server listens again
    Peer back(working.address);
    ASSERT_TRUE(back.connectTo(server->tcpPort()));
    back.iam(topic);
    ASSERT_TRUE(back.waitFor(K::Ready));
}

TEST_F(ServerTest, ChangedPortsAreToldAfterIam)
{
    server->setPortsChanged(9100, 4600);
    Peer& p = addPeer(2);
    ASSERT_TRUE(p.waitFor(K::SetPorts));
    EXPECT_EQ(p.last(K::SetPorts)->udpPort, 9100);
    EXPECT_EQ(p.last(K::SetPorts)->tcpPort, 4600);
}

TEST_F(ServerTest, MessagesOfAnUnidentifiedConnectionChangeNothing)
{
    makeTopic(2);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& p = addPeer(2);
    Peer stranger(QStringLiteral("127.0.0.3"));
    ASSERT_TRUE(stranger.connectTo(server->tcpPort()));
    stranger.sendRaw(Protocol::rout(5, {QString::number(questions[0])}));
    stranger.sendRaw(Protocol::finishReport({QString::number(questions[0]) + "=1"}));
    QTest::qWait(100);
    EXPECT_EQ(rowCount(), 1);
    EXPECT_EQ(rowValue(p.address, "Results").toString(), QString());
}

TEST_F(ServerTest, TheStudentViewReadsTheCachedTableAndAsksAComputerForItsRoute)
{
    makeTopic(3);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    EXPECT_EQ(server->cachedQuestions(topic), nullptr); // nothing handed out yet
    Peer& p = addPeer(2);
    handOutAndWait();
    const Table* cached = server->cachedQuestions(topic);
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached->rowCount(), 3);
    EXPECT_EQ(server->cachedQuestions(topic + 1), nullptr);

    server->SendNeedRoute(p.address);
    ASSERT_TRUE(QTest::qWaitFor([] { return logged("From:\"127.0.0.1\", In: \"!NeedRoute\""); }, 5000));
    EXPECT_TRUE(logged("To:\"127.0.0.2\", Out: \"!NeedRoute\""));
    server->SendNeedRoute(QStringLiteral("127.0.0.9")); // no such computer: nothing is sent
    EXPECT_EQ(loggedCount("Out: \"!NeedRoute\""), 1);
}
