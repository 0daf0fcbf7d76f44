// The student monitor's rows and cells, with computers on loopback reporting to a real server.
#include "monitormodel.h"
#include "serverfixture.h"

#include <QColor>
#include <QTest>

namespace {
constexpr int WaitMs = 10000;
}

class MonitorModelTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        model = std::make_unique<MonitorModel>(&bank->dm, server.get());
    }
    void TearDown() override
    {
        model.reset();
        ServerTest::TearDown();
    }
    bool waitModelRows(int count)
    {
        return QTest::qWaitFor([&] { return model->rowCount() == count; }, WaitMs);
    }
    QVariant cell(const QString& ip, int column, int role = Qt::DisplayRole)
    {
        return model->data(model->index(model->rowOf(ip), column), role);
    }
    // One computer testing a topic of three questions under the settings given.
    Peer& testing(const std::function<void(TestSettings&)>& settings)
    {
        makeTopic(3, settings);
        EXPECT_TRUE(server->OpenTestTopic(topic));
        Peer& p = addPeer(2);
        handOutAndWait();
        return p;
    }
    void report(Peer& p, int shown, int timeRemain)
    {
        p.sendRaw(Protocol::report({questions[0], "1", shown, timeRemain}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return cell(p.address, MonitorModel::AlreadyPassedCount).toInt() == shown; },
                                    WaitMs));
    }

    std::unique_ptr<MonitorModel> model;
};

TEST_F(MonitorModelTest, RowsComeInComputerNameOrderAsTheServerReportsThem)
{
    EXPECT_EQ(model->rowCount(), 0);
    addPeer(3);
    ASSERT_TRUE(waitModelRows(1));
    addPeer(1);
    ASSERT_TRUE(waitModelRows(2));
    EXPECT_EQ(model->row(0).pcName, "PC-1");
    EXPECT_EQ(model->row(1).pcName, "PC-3");
    EXPECT_TRUE(model->row(0).connected);
    EXPECT_EQ(model->headerData(MonitorModel::TimeRemain, Qt::Horizontal).toString(), u8("Остаток времени"));
    EXPECT_EQ(cell("127.0.0.1", MonitorModel::QuestionsGiven).toString(), u8("Ожидание..."));
    EXPECT_FALSE(cell("127.0.0.1", MonitorModel::QuestionsGiven, MonitorModel::FlagRole).toBool());
}

TEST_F(MonitorModelTest, TheTimeBarTurnsMagentaBelowSixtyOneSeconds)
{
    Peer& p = testing([](TestSettings& s) {
        s.TimeLimit = true;
        s.MaxTime = 2;
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return cell(p.address, MonitorModel::QuestionsGiven, MonitorModel::FlagRole).toBool(); }, WaitMs));
    EXPECT_EQ(cell(p.address, MonitorModel::QuestionsGiven).toString(), QString());
    struct Case
    {
        int remain;
        QColor colour;
        double fraction;
    } cases[] = {{61, Qt::green, 61.0 / 120}, {60, Qt::magenta, 0.5}, {0, Qt::magenta, 0}, {120, Qt::green, 1}};
    int shown = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remain);
        report(p, ++shown, c.remain);
        EXPECT_EQ(cell(p.address, MonitorModel::TimeRemain, MonitorModel::TimeColorRole).value<QColor>(), c.colour);
        EXPECT_DOUBLE_EQ(cell(p.address, MonitorModel::TimeRemain, MonitorModel::TimeFractionRole).toDouble(),
                         c.fraction);
        EXPECT_EQ(cell(p.address, MonitorModel::TimeRemain).toString(), QString());
    }
}

TEST_F(MonitorModelTest, AnUnlimitedTestReadsNotLimitedWithoutABar)
{
    Peer& p = testing([](TestSettings& s) { s.TimeLimit = false; });
    report(p, 1, 30);
    EXPECT_EQ(cell(p.address, MonitorModel::TimeRemain).toString(), u8("Не ограничено"));
    EXPECT_FALSE(cell(p.address, MonitorModel::TimeRemain, MonitorModel::TimeFractionRole).isValid());
    EXPECT_FALSE(cell(p.address, MonitorModel::TimeRemain, MonitorModel::TimeColorRole).isValid());
}

TEST_F(MonitorModelTest, MarkPercentAndTopicFollowTheReports)
{
    Peer& p = testing([](TestSettings& s) {
        s.RandomOrder = false;
        s.MaxPointSystem = 5;
    });
    QStringList route;
    for (int id : questions)
        route.append(QString::number(id));
    p.sendRaw(Protocol::rout(3, route));
    report(p, 1, 100);
    // one of three right: 33.3 %
    EXPECT_EQ(cell(p.address, MonitorModel::RightsPercent).toString(), u8("33,3"));
    EXPECT_EQ(cell(p.address, MonitorModel::TopicName).toString(), u8("Алгебра"));
    EXPECT_EQ(cell(p.address, MonitorModel::PreMark, Qt::BackgroundRole).value<QColor>(), QColor(Qt::yellow));
    EXPECT_EQ(cell(p.address, MonitorModel::PreMark, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    EXPECT_EQ(cell(p.address, MonitorModel::PreMark).toString(),
              QString::number(rowValue(p.address, "PrePoints").toInt()));
}

TEST_F(MonitorModelTest, PercentAndMarkTexts)
{
    struct Case
    {
        double percent;
        const char* text;
    } cases[] = {{0, "0"}, {50, "50"}, {66.6666, "66,7"}, {99.96, "100"}, {12.04, "12"}, {12.06, "12,1"}};
    for (const Case& c : cases)
        EXPECT_EQ(MonitorModel::PercentText(c.percent), u8(c.text)) << c.percent;
    EXPECT_EQ(MonitorModel::MarkText(1, 1), u8("Зачёт"));
    EXPECT_EQ(MonitorModel::MarkText(1, 0), u8("Незачёт"));
    EXPECT_EQ(MonitorModel::MarkText(12, 7), "7");
}

TEST_F(MonitorModelTest, OnlyTheFinalMarkIsEditedAndItReachesTheRow)
{
    Peer& p = addPeer(2);
    ASSERT_TRUE(waitModelRows(1));
    for (int column = 0; column < MonitorModel::ColumnCount; ++column)
        EXPECT_EQ(bool(model->flags(model->index(0, column)) & Qt::ItemIsEditable), column == MonitorModel::Points)
            << column;
    EXPECT_TRUE(model->setData(model->index(0, MonitorModel::Points), "4"));
    EXPECT_EQ(rowValue(p.address, "Points").toInt(), 4);
    EXPECT_FALSE(model->setData(model->index(0, MonitorModel::Points), "четыре"));
    EXPECT_FALSE(model->setData(model->index(0, MonitorModel::PcName), "X"));
    EXPECT_EQ(rowValue(p.address, "Points").toInt(), 4);
    EXPECT_EQ(cell(p.address, MonitorModel::Points).toInt(), 4);
}

TEST_F(MonitorModelTest, AFinalMarkOutsideTheRowsScaleIsRefused)
{
    Peer& p = testing([](TestSettings& s) { s.MaxPointSystem = 12; });
    Peer& waiting = addPeer(3); // no set yet: no scale
    ASSERT_TRUE(waitModelRows(2));
    ASSERT_EQ(model->row(model->rowOf(p.address)).maxPointSystem, 12);
    struct Case
    {
        const Peer* peer;
        const char* typed;
        bool taken;
    } cases[] = {{&p, "12", true}, {&p, "13", false},       {&p, "-1", false},        {&p, "0", true},
                 {&p, "1", true},  {&waiting, "100", true}, {&waiting, "101", false}, {&waiting, "-2", false}};
    for (const Case& c : cases) {
        const QModelIndex index = model->index(model->rowOf(c.peer->address), MonitorModel::Points);
        const int before = rowValue(c.peer->address, "Points").toInt();
        EXPECT_EQ(model->setData(index, c.typed), c.taken) << c.typed;
        EXPECT_EQ(rowValue(c.peer->address, "Points").toInt(), c.taken ? QString(c.typed).toInt() : before) << c.typed;
    }
}

TEST_F(MonitorModelTest, AWorkWhoseComputerWentAwayStaysShownAsDisconnected)
{
    Peer& p = testing([](TestSettings&) {});
    const QString address = p.address;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return cell(address, MonitorModel::QuestionsGiven, MonitorModel::FlagRole).toBool(); }, WaitMs));
    EXPECT_TRUE(cell(address, 0, MonitorModel::ConnectedRole).toBool());
    peers.clear(); // the computer is switched off
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cell(address, 0, MonitorModel::ConnectedRole).toBool(); }, WaitMs));
    EXPECT_EQ(model->rowCount(), 1);
    EXPECT_EQ(cell(address, MonitorModel::PcName, Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
}
