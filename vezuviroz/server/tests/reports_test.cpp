// The reports of a computer and the teacher's commands on its row.
#include "dataset.h"
#include "runlog.h"
#include "serverfixture.h"
#include "sqltexts.h"

#include <QTest>

using K = Protocol::ServerMessage::Kind;

namespace {

QString lines(const QStringList& l)
{
    QString t;
    for (const QString& s : l)
        t += s + "\r\n";
    return t;
}

} // namespace

class ReportsTest : public ServerTest
{
protected:
    // One computer with a set of three choice questions (right answer 1), handed out in order.
    Peer& testing(const std::function<void(TestSettings&)>& settings = {})
    {
        makeTopic(3, [&](TestSettings& s) {
            s.RandomOrder = false;
            s.MaxPointSystem = 5;
            if (settings)
                settings(s);
        });
        EXPECT_TRUE(server->OpenTestTopic(topic));
        Peer& p = addPeer(2);
        handOutAndWait();
        return p;
    }
    QString id(int i) const { return QString::number(questions[i]); }

    int resultsCount() { return bank->firstValue(u8(Sql::CountRowsOf) + "Results", "Count(*)").toInt(); }
    QVariant filed(const QString& column)
    {
        return bank->firstValue(u8("SELECT * FROM Results ORDER BY ResID DESC"), column);
    }
};

TEST_F(ReportsTest, ARouteCompletesChoiceLinesAndKeepsThePriceSum)
{
    Peer& p = testing();
    p.sendRaw(Protocol::rout(3, {id(2), id(0) + "=***", id(1)}));
    ASSERT_TRUE(waitRowValue(p.address, "PriceSum", 3));
    EXPECT_EQ(rowValue(p.address, "Results").toString(), lines({id(2) + "=0", id(0) + "=***", id(1) + "=0"}));
}

TEST_F(ReportsTest, AReportSetsReplacesAndRemovesLinesAndGrades)
{
    Peer& p = testing();
    p.sendRaw(Protocol::rout(3, {id(0), id(1), id(2)}));
    ASSERT_TRUE(waitRowValue(p.address, "PriceSum", 3));
    p.sendRaw(Protocol::report({questions[0], "1", 1, 600}));
    ASSERT_TRUE(waitRowValue(p.address, "AlreadyPassedCount", 1));
    EXPECT_EQ(rowValue(p.address, "TimeRemain").toInt(), 600);
    EXPECT_NEAR(rowValue(p.address, "RightsPercent").toDouble(), 100.0 / 3, 0.01);
    p.sendRaw(Protocol::report({questions[1], "", 2, 500}));
    ASSERT_TRUE(waitRowValue(p.address, "AlreadyPassedCount", 2));
    EXPECT_EQ(rowValue(p.address, "Results").toString(), lines({id(0) + "=1", id(2) + "=0"}));
}

TEST_F(ReportsTest, PassedOnlyGradesTheShownQuestionsAlone)
{
    Peer& p = testing();
    server->setPrePointsFromPassedOnly(true);
    p.sendRaw(Protocol::rout(3, {id(0), id(1), id(2)}));
    ASSERT_TRUE(waitRowValue(p.address, "PriceSum", 3));
    p.sendRaw(Protocol::report({questions[0], "1", 1, 600}));
    ASSERT_TRUE(waitRowValue(p.address, "AlreadyPassedCount", 1));
    EXPECT_DOUBLE_EQ(rowValue(p.address, "RightsPercent").toDouble(), 100.0);
    EXPECT_EQ(rowValue(p.address, "PrePoints").toInt(), 5);
}

TEST_F(ReportsTest, FinishReportOnPassFailAnswersWithTheWordAndMarksReady)
{
    Peer& p = testing([](TestSettings& s) {
        s.MaxPointSystem = 1;
        s.setNa(1, 50);
    });
    QString finished;
    QObject::connect(server.get(), &TestingServer::workFinished, [&](const QString& a) { finished = a; });
    p.sendRaw(Protocol::finishReport({id(0) + "=1", id(1) + "=1", id(2) + "=2"}));
    ASSERT_TRUE(p.waitFor(K::YourPrePointsAre));
    const Protocol::ServerMessage* m = p.last(K::YourPrePointsAre);
    EXPECT_EQ(m->text, u8("Зачёт"));
    EXPECT_EQ(m->percent, "66,7");
    EXPECT_EQ(m->lines, (QStringList{id(0) + "=100,00", id(1) + "=100,00", id(2) + "=0,00"}));
    EXPECT_EQ(rowValue(p.address, "Ready").toBool(), true);
    EXPECT_EQ(rowValue(p.address, "PrePoints").toInt(), 1);
    EXPECT_EQ(finished, p.address);
}

TEST_F(ReportsTest, AForgedListIsGradedOverTheHandedOutSet)
{
    Peer& p = testing();
    const int foreign = bank->addChoice(bank->addTopic("Other"), "F");
    // a foreign right answer, a repeated right answer, and one handed-out question left out
    p.sendRaw(Protocol::finishReport({QString::number(foreign) + "=1", id(0) + "=1", id(0) + "=1", id(1) + "=1"}));
    ASSERT_TRUE(p.waitFor(K::YourPrePointsAre));
    EXPECT_NEAR(rowValue(p.address, "RightsPercent").toDouble(), 200.0 / 3, 0.01);
    EXPECT_EQ(rowValue(p.address, "Results").toString(), lines({id(0) + "=1", id(1) + "=1", id(2) + "=0"}));
    EXPECT_TRUE(
        logged(QStringLiteral("\"127.0.0.2\": QueID=%1 was not handed out to it; the line is ignored").arg(foreign)));
    // a report for a foreign question changes no line either
    p.sendRaw(Protocol::report({foreign, "1", 3, 10}));
    ASSERT_TRUE(waitRowValue(p.address, "TimeRemain", 10));
    EXPECT_FALSE(rowValue(p.address, "Results").toString().contains(QString::number(foreign)));
}

TEST_F(ReportsTest, AnHonestListIsGradedAsSent)
{
    Peer& p = testing();
    p.sendRaw(Protocol::totalReport({id(2) + "=1", id(0) + "=3", id(1) + "=1"}));
    ASSERT_TRUE(waitRowValue(p.address, "Results", lines({id(2) + "=1", id(0) + "=3", id(1) + "=1"})));
    EXPECT_NEAR(rowValue(p.address, "RightsPercent").toDouble(), 200.0 / 3, 0.01);
    EXPECT_EQ(rowValue(p.address, "Ready").toBool(), false);
}

TEST_F(ReportsTest, CriteriaAndEchoes)
{
    Peer& p = testing();
    int echoes = 0;
    QObject::connect(server.get(), &TestingServer::echoCountChanged, [&](int n) { echoes = n; });
    p.sendRaw(wire("!CriteriaNeeded|"));
    ASSERT_TRUE(p.waitFor(K::CriteriaListIs));
    EXPECT_EQ(lines(p.last(K::CriteriaListIs)->lines), rowValue(p.address, "CriteriaList").toString());
    p.sendRaw("!NOOP ECHO");
    ASSERT_TRUE(QTest::qWaitFor([&] { return echoes == 1; }, 5000));
    p.sendRaw("!CriteriaNeeded"); // without its NUL: ignored
    QTest::qWait(100);
    EXPECT_EQ(p.count(K::CriteriaListIs), 1);
}

TEST_F(ReportsTest, FilingOnTheFivePointScaleAsksOnceAndSendsTheFinalMark)
{
    Peer& p = testing();
    prompts.student = bank->addStudent(u8("Иванов Иван"));
    p.sendRaw(Protocol::finishReport({id(0) + "=1", id(1) + "=1", id(2) + "=1"}));
    ASSERT_TRUE(p.waitFor(K::YourPrePointsAre));
    const std::optional<int> points = server->FileResult(p.address);
    ASSERT_TRUE(points.has_value());
    EXPECT_EQ(*points, 5);
    EXPECT_EQ(prompts.chosenFor, QStringList{"PC-2"});
    EXPECT_EQ(prompts.asked,
              QStringList{u8("Засчитать предварительную оценку \"5\" студента Иванов Иван как окончательную?")});
    EXPECT_EQ(resultsCount(), 1);
    EXPECT_EQ(filed("Points").toInt(), 5);
    EXPECT_EQ(filed("TopicID").toInt(), topic);
    EXPECT_EQ(filed("PcName").toString(), "PC-2");
    EXPECT_DOUBLE_EQ(filed("RightsPercent").toDouble(), 100.0);
    EXPECT_EQ(filed("RoutChecked").toString(), lines({id(0) + "=1", id(1) + "=1", id(2) + "=1"}));
    ASSERT_TRUE(p.waitFor(K::YourFinalPointsAre));
    EXPECT_EQ(p.last(K::YourFinalPointsAre)->text, "5");
    ASSERT_TRUE(p.waitFor(K::NextStudent));
    EXPECT_TRUE(logged("Out: \"YourFinalPointsAre...\""));
    // the row stays for the next student, cleared
    EXPECT_EQ(rowValue(p.address, "QuestionsGiven").toBool(), false);
    EXPECT_EQ(rowValue(p.address, "Results").toString(), QString());
    EXPECT_EQ(rowValue(p.address, "StudentID").toInt(), 0);
}

TEST_F(ReportsTest, FilingPassFailStoresMinusTwoOrMinusOneAndNoFinalMark)
{
    struct Case
    {
        QString answer;
        int points;
    };
    const Case cases[] = {{"1", -2}, {"2", -1}};
    Peer& p = testing([](TestSettings& s) {
        s.MaxPointSystem = 1;
        s.setNa(1, 50);
    });
    prompts.student = bank->addStudent("S");
    for (const Case& c : cases) {
        p.messages.clear();
        p.sendRaw(Protocol::finishReport({id(0) + "=" + c.answer, id(1) + "=" + c.answer, id(2) + "=" + c.answer}));
        ASSERT_TRUE(p.waitFor(K::YourPrePointsAre));
        EXPECT_EQ(server->FileResult(p.address), c.points);
        EXPECT_EQ(filed("Points").toInt(), c.points);
        ASSERT_TRUE(p.waitFor(K::NextStudent));
        EXPECT_EQ(p.count(K::YourFinalPointsAre), 0);
        EXPECT_TRUE(prompts.asked.isEmpty());
        // the next test on the same computer (the row was cleared; its criteria come again)
        server->HandOutQuestions();
        ASSERT_TRUE(p.waitForSet(int(p.sets.size()) + 1));
    }
}

TEST_F(ReportsTest, CancelledStudentChoiceFilesNothing)
{
    Peer& p = testing();
    p.sendRaw(Protocol::finishReport({id(0) + "=1"}));
    ASSERT_TRUE(p.waitFor(K::YourPrePointsAre));
    prompts.student = 0;
    EXPECT_FALSE(server->FileResult(p.address).has_value());
    EXPECT_EQ(resultsCount(), 0);
    EXPECT_EQ(rowValue(p.address, "Ready").toBool(), true);
}

TEST_F(ReportsTest, AFinishedWorkIsFiledAfterItsComputerWentAway)
{
    Peer& p = testing();
    prompts.student = bank->addStudent("S");
    p.sendRaw(Protocol::finishReport({id(0) + "=1", id(1) + "=1", id(2) + "=1"}));
    ASSERT_TRUE(p.waitFor(K::YourPrePointsAre));
    p.connection.disconnectFromServer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server->isConnected(p.address); }, 5000));
    ASSERT_EQ(rowCount(), 1);
    EXPECT_EQ(server->FileResult(p.address), 5);
    EXPECT_EQ(resultsCount(), 1);
    EXPECT_EQ(filed("Points").toInt(), 5);
}

TEST_F(ReportsTest, FileAllStopsAtTheFirstReadyRowWithoutAStudent)
{
    makeTopic(2, [](TestSettings& s) { s.RandomOrder = false; });
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& a = addPeer(2);
    Peer& b = addPeer(3);
    Peer& c = addPeer(4);
    handOutAndWait();
    for (Peer* p : {&a, &b, &c}) {
        p->sendRaw(Protocol::finishReport({QString::number(questions[0]) + "=1"}));
        ASSERT_TRUE(p->waitFor(K::YourPrePointsAre));
    }
    const int s = bank->addStudent("S");
    // rows go by computer name: PC-2 has a student, PC-3 none, PC-4 one
    for (const QString& address : {a.address, c.address}) {
        bank->dm.sqlCurrentTesting->locate("IP", address);
        bank->dm.sqlCurrentTesting->edit();
        bank->dm.sqlCurrentTesting->setValue("StudentID", s);
        bank->dm.sqlCurrentTesting->post();
    }
    server->FileAllResults();
    EXPECT_EQ(resultsCount(), 1);
    EXPECT_TRUE(prompts.asked.isEmpty());
    EXPECT_TRUE(prompts.chosenFor.isEmpty());
    EXPECT_EQ(rowValue(c.address, "Ready").toBool(), true);
}

TEST_F(ReportsTest, ClearingAWorkAsksAndNoKeepsIt)
{
    Peer& p = testing();
    prompts.answers = {false, true};
    server->ClearWorkplace(p.address);
    EXPECT_EQ(rowValue(p.address, "QuestionsGiven").toBool(), true);
    server->ClearWorkplace(p.address);
    EXPECT_EQ(prompts.asked,
              (QStringList{u8("Удалить студента  без сохранения?"), u8("Удалить студента  без сохранения?")}));
    EXPECT_EQ(rowValue(p.address, "QuestionsGiven").toBool(), false);
    ASSERT_TRUE(p.waitFor(K::NextStudent));
}

TEST_F(ReportsTest, DeleteRowKeepsTheConnectionAndEmptiesToTopicOpen)
{
    Peer& p = testing();
    server->DeleteRow(p.address);
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(logged("\"127.0.0.2\" deleted from DB. RecordCount=0"));
    EXPECT_EQ(server->phase(), ServerPhase::TopicOpen);
    QTest::qWait(50);
    EXPECT_FALSE(p.closed);
}

TEST_F(ReportsTest, SwitchingOffFreeWorkplacesTellsEachOnce)
{
    makeTopic(2);
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& a = addPeer(2);
    Peer& b = addPeer(3);
    bool done = false;
    QObject::connect(server.get(), &TestingServer::closeAllFreeFinished, [&] { done = true; });
    server->CloseAllFree();
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    ASSERT_TRUE(a.waitFor(K::CloseClient));
    ASSERT_TRUE(b.waitFor(K::CloseClient));
    EXPECT_EQ(rowValue(a.address, "MaxPointSystem").toInt(), -1);
    done = false;
    server->CloseAllFree();
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(a.count(K::CloseClient), 1);
}

TEST_F(ReportsTest, ClearAllAndCloseAll)
{
    Peer& p = testing();
    Peer& idle = addPeer(3);
    server->ClearAll();
    EXPECT_EQ(prompts.asked, QStringList{u8("Удалить всех студентов без сохранения?")});
    ASSERT_TRUE(p.waitFor(K::NextStudent));
    ASSERT_TRUE(idle.waitFor(K::NextStudent));
    EXPECT_EQ(rowValue(p.address, "QuestionsGiven").toBool(), false);
    EXPECT_EQ(server->phase(), ServerPhase::TopicOpen);
    server->CloseAll();
    ASSERT_TRUE(p.waitFor(K::CloseClient));
    ASSERT_TRUE(idle.waitFor(K::CloseClient));
    EXPECT_EQ(prompts.asked.size(), 1); // no work left: not asked again
}

TEST_F(ReportsTest, WithoutPassedOnlyAnOrderingLineNotShownYetScoresNothing)
{
    topic = bank->addTopic("Orders");
    for (int i = 0; i < 4; ++i)
        questions.append(bank->addOrdering(topic, QStringLiteral("O%1").arg(i)));
    bank->setSettings(topic, [](TestSettings& s) { s.RandomOrder = false; });
    ASSERT_TRUE(server->OpenTestTopic(topic));
    Peer& p = addPeer(2);
    handOutAndWait();
    QStringList route;
    for (int i = 0; i < 4; ++i)
        route << id(i) + "=1234"; // every order right, the last not shown yet
    p.sendRaw(Protocol::rout(4, route));
    ASSERT_TRUE(waitRowValue(p.address, "PriceSum", 4));
    p.sendRaw(Protocol::report({questions[0], "1234", 3, 100}));
    ASSERT_TRUE(waitRowValue(p.address, "AlreadyPassedCount", 3));
    EXPECT_DOUBLE_EQ(rowValue(p.address, "RightsPercent").toDouble(), 75.0);
}
