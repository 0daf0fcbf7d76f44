#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "messagerecorder.h"
#include "runlog.h"
#include "storeconnection.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {

QString storePath()
{
    return AppFilePath(QStringLiteral("vs4.mdb"));
}

QStringList names(const QList<Dataset*>& datasets)
{
    QStringList n;
    for (const Dataset* d : datasets)
        n.append(d->name());
    return n;
}

bool addComputer(TDM& dm, const QString& pc, const QString& ip)
{
    Dataset* ct = dm.sqlCurrentTesting;
    if (!ct->append())
        return false;
    ct->setValue("PcName", pc);
    ct->setValue("IP", ip);
    ct->post();
    return true;
}

} // namespace

TEST(DataModules, VezuvirozOpensEveryDatasetInOrderOnAFreshStore)
{
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    EXPECT_TRUE(QFileInfo::exists(storePath()));
    const QList<Dataset*>& all = dm.ADOConnection()->datasets();
    EXPECT_EQ(names(all), (QStringList{"sqlTopics", "sqlQuestions", "sqlResults", "sqlCurrentTesting", "sqlStudents",
                                       "sqlKlasses", "sqlAppSettings", "sqlWorkingCount", "sqlOldQuestions",
                                       "sqlSingleLevelTopics", "sqlTopics", "sqlSettings"}));
    for (const Dataset* d : all)
        EXPECT_TRUE(d->isOpen()) << d->name().toStdString();
    EXPECT_TRUE(dm.sqlTopics->isEmpty());
    EXPECT_EQ(dm.sqlWorkingCount->value("WorkingCount").toInt(), 0);
    ASSERT_NE(dm.topicQuestionCache(), nullptr);
    EXPECT_EQ(dm.topicQuestionCache()->count(), 0);
}

TEST(DataModules, ScribantHasItsOwnSettingsAndTheTopics)
{
    TDM dm(StoreProgram::Scribant);
    TSharedDM shared(&dm);
    EXPECT_EQ(names(dm.ADOConnection()->datasets()), (QStringList{"sqlAppSettings", "sqlTopics", "sqlOldQuestions",
                                                                  "sqlSingleLevelTopics", "sqlTopics", "sqlSettings"}));
    EXPECT_EQ(dm.sqlAppSettings->tableName(), QStringLiteral("ScribantSettings"));
    EXPECT_EQ(dm.sqlCurrentTesting, nullptr);
    EXPECT_EQ(dm.topicQuestionCache(), nullptr);
}

TEST(DataModules, CurrentTestingRowsOnlyWithTheServersPermissionAndLogged)
{
    RunLog::clear();
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    EXPECT_FALSE(addComputer(dm, "PC1", "192.168.0.3"));
    EXPECT_EQ(dm.sqlCurrentTesting->recordCount(), 0);
    dm.setCurrentTestingInsertAllowed(true);
    ASSERT_TRUE(addComputer(dm, "PC1", "192.168.0.3"));
    ASSERT_TRUE(addComputer(dm, "PC2", "192.168.0.4"));
    ASSERT_TRUE(addComputer(dm, "PC3", "192.168.0.5"));
    // An edit is no insert: no log line.
    dm.sqlCurrentTesting->edit();
    dm.sqlCurrentTesting->setValue("Ready", true);
    dm.sqlCurrentTesting->post();
    ASSERT_TRUE(dm.sqlCurrentTesting->locate("IP", "192.168.0.5"));
    dm.sqlCurrentTesting->remove();
    const QStringList log = RunLog::lines();
    QStringList ours;
    for (const QString& line : log)
        if (line.contains("DB"))
            ours.append(line.section(' ', 1)); // without the time of day
    EXPECT_EQ(ours, (QStringList{"Inserted to DB: \"192.168.0.3\". RecordCount=1",
                                 "Inserted to DB: \"192.168.0.4\". RecordCount=2",
                                 "Inserted to DB: \"192.168.0.5\". RecordCount=3",
                                 "\"192.168.0.5\" deleted from DB. RecordCount=2"}));
}

TEST(DataModules, PrePointsText)
{
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    dm.setCurrentTestingInsertAllowed(true);
    const struct
    {
        int system;
        QVariant points;
        const char* shown;
    } cases[] = {{1, 1, "Зачёт"}, {1, 0, "Незачёт"}, {1, -1, "Незачёт"}, {12, 7, "7"}, {5, QVariant(), "0"}};
    for (const auto& tc : cases) {
        Dataset* ct = dm.sqlCurrentTesting;
        ASSERT_TRUE(ct->append());
        ct->setValue("MaxPointSystem", tc.system);
        ct->setValue("PrePoints", tc.points);
        ct->post();
        EXPECT_EQ(ct->value("_s_PrePoints").toString(), QString::fromUtf8(tc.shown)) << tc.shown;
    }
}

TEST(DataModules, VezuvirozEndingEmptiesTheWorkingTableAndCompactsTheStore)
{
    {
        TDM dm(StoreProgram::Vezuviroz);
        TSharedDM shared(&dm);
        dm.setCurrentTestingInsertAllowed(true);
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(addComputer(dm, QStringLiteral("PC%1").arg(i), QStringLiteral("10.0.0.%1").arg(i)));
        // Room for the compaction to give back.
        dm.ADOConnection()->execute(QStringLiteral("INSERT INTO Topics (Remark) VALUES (:r)"),
                                    {{"r", QString(200000, u'x')}});
        dm.ADOConnection()->execute(QStringLiteral("DELETE FROM Topics"));
    }
    const qint64 size = QFileInfo(storePath()).size();
    EXPECT_LT(size, 100000);
    const QStringList leftovers = QDir(AppFolder()).entryList({"mdb*"}, QDir::Files);
    EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(',').toStdString();

    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    EXPECT_EQ(dm.sqlCurrentTesting->recordCount(), 0);
}

TEST(DataModules, ReconnectShowsWhatAnotherConnectionWroteAndRefreshesTheMonitor)
{
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    QSignalSpy refresh(&dm, &TDM::currentTestingChanged);
    {
        StoreConnection other(QStringLiteral("other"));
        other.open(storePath());
        other.execute(QStringLiteral("INSERT INTO Klasses (Klass) VALUES ('9Б')"));
    }
    EXPECT_TRUE(dm.sqlKlasses->isEmpty()); // a snapshot until reconnected
    dm.Reconnect(false);
    ASSERT_EQ(dm.sqlKlasses->recordCount(), 1);
    EXPECT_EQ(dm.sqlKlasses->value("Klass").toString(), QStringLiteral("9Б"));
    EXPECT_TRUE(shared.sqlSettings->isOpen());
    EXPECT_GE(refresh.count(), 1);
    const int before = refresh.count();
    dm.setEnding(true);
    dm.sqlCurrentTesting->first();
    EXPECT_EQ(refresh.count(), before);
}

// The pause of a reconnection runs on the event loop: the store is closed until the scheduled step
// opens it again; a second request meanwhile joins the first.
TEST(DataModules, ReconnectWithPauseReopensFromTheEventLoop)
{
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    QList<int> delays;
    std::function<void()> pending;
    dm.setScheduler([&](int ms, std::function<void()> work) {
        delays.append(ms);
        pending = std::move(work);
    });
    QSignalSpy reconnected(&dm, &TDM::reconnected);
    dm.Reconnect(true);
    dm.Reconnect(true);
    EXPECT_EQ(delays, QList<int>{TDM::ReconnectPauseMs});
    EXPECT_FALSE(dm.ADOConnection()->isOpen());
    EXPECT_FALSE(shared.sqlSettings->isOpen());
    EXPECT_EQ(reconnected.count(), 0);

    ASSERT_TRUE(pending);
    pending();
    EXPECT_TRUE(dm.ADOConnection()->isOpen());
    EXPECT_TRUE(shared.sqlSettings->isOpen());
    EXPECT_TRUE(dm.sqlCurrentTesting->isOpen());
    EXPECT_EQ(reconnected.count(), 1);

    // Without pause it is open again on return, and nothing is scheduled.
    dm.Reconnect(false);
    EXPECT_TRUE(dm.sqlKlasses->isOpen());
    EXPECT_EQ(delays.size(), 1);
}

// Closing the store is logic: what goes wrong comes back in words for the program to show, and
// nothing is shown from inside; the rest of the closing still happens.
TEST(DataModules, CloseGivesItsFailuresBackAndShowsNothing)
{
    MessageRecorder messages;
    TDM dm(StoreProgram::Vezuviroz);
    {
        TSharedDM shared(&dm);
        dm.setCurrentTestingInsertAllowed(true);
        ASSERT_TRUE(addComputer(dm, QStringLiteral("PC1"), QStringLiteral("10.0.0.1")));
        QSqlQuery trigger(dm.ADOConnection()->database());
        ASSERT_TRUE(trigger.exec("CREATE TRIGGER refuse BEFORE DELETE ON CurrentTesting BEGIN "
                                 "SELECT RAISE(ABORT, 'refused'); END"));
    }
    const QStringList errors = dm.Close();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("refused")) << errors[0].toStdString();
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_FALSE(dm.ADOConnection()->isOpen());
    EXPECT_TRUE(dm.Close().isEmpty()); // closed once
}

TEST(DataModules, NewStudentsJoinTheFilteredClass)
{
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    Dataset* s = dm.sqlStudents;
    s->setParam("KlassID", "7");
    s->requery();
    ASSERT_TRUE(s->append());
    s->setValue("Name", "Сидоров");
    s->post();
    EXPECT_EQ(s->value("KlassID"), QVariant(7));
    s->setParam("KlassID", "");
    s->requery();
    EXPECT_FALSE(s->append());
}

TEST(DataModules, TopicQuestionCacheFindsByKeyAndTopic)
{
    TopicQuestionCache cache;
    cache.add(5, Table({Column{"QueID", ColumnType::Int}})).references = 2;
    cache.add(12, Table());
    ASSERT_NE(cache.findTopic(5), nullptr);
    EXPECT_EQ(cache.find("5")->references, 2);
    EXPECT_EQ(cache.findTopic(5)->questions.columnCount(), 1);
    EXPECT_EQ(cache.findTopic(7), nullptr);
    cache.remove("5");
    EXPECT_EQ(cache.count(), 1);
    EXPECT_EQ(cache.findTopic(5), nullptr);
}
