// The hand-out: sets with and without random order, their rows, cancelling, and files.
#include "appfolder.h"
#include "dataset.h"
#include "runlog.h"
#include "serverfixture.h"
#include "sqltexts.h"
#include "topicstore.h"

#include <QDir>
#include <QSet>
#include <QTest>

using K = Protocol::ServerMessage::Kind;

TEST_F(ServerTest, RandomOrderGivesEachComputerItsOwnDrawWithoutRepeats)
{
    makeTopic(12, [](TestSettings& s) {
        s.RandomOrder = true;
        s.GiveMaxCount = 5;
        s.MaxTime = 7;
        s.MaxPointSystem = 5;
    });
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Dataset all(bank->connection(), "all", u8(Sql::AllQuestions));
    all.open();
    const int questionColumns = all.fieldCount();
    for (int n = 2; n <= 5; ++n)
        addPeer(n);
    handOutAndWait();
    QSet<QList<int>> distinct;
    for (auto& p : peers) {
        const QList<int> ids = p->setIds();
        ASSERT_EQ(ids.size(), 5);
        EXPECT_EQ(QSet<int>(ids.begin(), ids.end()).size(), 5) << "no repeats inside one set";
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end())) << "rows in key order, as the bank gives them";
        for (int id : ids)
            EXPECT_TRUE(questions.contains(id));
        EXPECT_EQ(server->handedOut(p->address), ids);
        distinct.insert(ids);
        EXPECT_EQ(rowValue(p->address, "QuestionsGiven").toBool(), true);
        EXPECT_EQ(rowValue(p->address, "CurrentTopicID").toInt(), topic);
        EXPECT_EQ(rowValue(p->address, "MaxTime").toInt(), 7 * 60);
        EXPECT_EQ(rowValue(p->address, "MaxPointSystem").toInt(), 5);
        EXPECT_TRUE(rowValue(p->address, "CriteriaList").toString().contains("MaxPointSystem=5\r\n"));
        ASSERT_TRUE(p->waitFor(K::SettingsList));
        EXPECT_TRUE(p->last(K::SettingsList)->lines.contains(QStringLiteral("TopicID=%1").arg(topic)));
        EXPECT_EQ(p->sets.last().columnCount(), questionColumns); // every column of Questions
    }
    EXPECT_GT(distinct.size(), 1);
    EXPECT_EQ(server->phase(), ServerPhase::Testing);
}

TEST_F(ServerTest, WithoutRandomOrderEveryComputerGetsTheSameFirstQuestions)
{
    makeTopic(6, [](TestSettings& s) {
        s.RandomOrder = false;
        s.GiveMaxCount = 4;
    });
    ASSERT_TRUE(server->OpenTestTopic(topic));
    addPeer(2);
    addPeer(3);
    handOutAndWait();
    EXPECT_EQ(peers[0]->setIds(), questions.mid(0, 4));
    EXPECT_EQ(peers[1]->setIds(), questions.mid(0, 4));
}

TEST_F(ServerTest, ASmallTopicGivesEveryComputerAllItsQuestions)
{
    makeTopic(12, [](TestSettings& s) { s.GiveMaxCount = 20; });
    ASSERT_TRUE(server->OpenTestTopic(topic));
    addPeer(2);
    handOutAndWait();
    QList<int> ids = peers[0]->setIds();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, questions);
}

TEST_F(ServerTest, AHandOutSkipsComputersWithQuestionsAndLeavesNoFiles)
{
    makeTopic(5);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    addPeer(2);
    handOutAndWait();
    addPeer(3);
    handOutAndWait();
    QTest::qWait(100);
    EXPECT_EQ(peers[0]->sets.size(), 1);
    EXPECT_EQ(peers[1]->sets.size(), 1);
    EXPECT_TRUE(QDir(TopicStore::WorkFolder()).entryList(QDir::Files).isEmpty());
}

TEST_F(ServerTest, CancelStopsTheHandOutBetweenComputers)
{
    makeTopic(5);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    for (int n = 2; n <= 5; ++n)
        addPeer(n);
    bool finished = false;
    QObject::connect(server.get(), &TestingServer::handOutProgress, [&](int position) {
        if (position == 2)
            server->CancelHandOut();
    });
    QObject::connect(server.get(), &TestingServer::handOutFinished, [&] { finished = true; });
    server->HandOutQuestions();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 5000));
    QTest::qWait(1000); // the sets under way arrive after their pause
    int given = 0;
    for (auto& p : peers)
        given += p->sets.size();
    EXPECT_EQ(given, 2);
    EXPECT_FALSE(server->isHandingOut());
}

TEST_F(ServerTest, ProgressCountsEveryOpenConnection)
{
    makeTopic(3);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    addPeer(2);
    addPeer(3);
    QStringList statuses;
    int maximum = 0;
    QObject::connect(server.get(), &TestingServer::statusChanged, [&](const QString& s) { statuses << s; });
    QObject::connect(server.get(), &TestingServer::handOutStarted, [&](int m) { maximum = m; });
    handOutAndWait();
    EXPECT_EQ(maximum, 2);
    EXPECT_EQ(statuses, (QStringList{u8("Подготовка..."), u8("Студент 1 из 2"), u8("Студент 2 из 2")}));
}
