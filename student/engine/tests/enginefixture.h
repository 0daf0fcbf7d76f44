// Recorders and a fixture for the test engine: the connection, the window and the timers stand in
// as recorders, the random source is seeded fixed.
#pragma once

#include "adtg.h"
#include "archive.h"
#include "gradingfixture.h"
#include "testengine.h"
#include "testhome.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QStringList>
#include <gtest/gtest.h>

namespace enginefixture {

// Records every message as the bytes the connection would send.
class RecordingSender : public EngineSender
{
public:
    bool connected = true;
    bool autonomous = false;
    bool offered = false;
    QList<QByteArray> sent;
    int aborted = 0;
    int receivingFailures = 0;

    bool isConnected() const override { return connected; }
    bool isAutonomous() const override { return autonomous; }
    bool requestOffered() const override { return offered; }
    void sendRout(int priceSum, const QStringList& route) override { sent.append(Protocol::rout(priceSum, route)); }
    void sendReport(const Protocol::ReportLines& lines) override { sent.append(Protocol::report(lines)); }
    void sendFinishReport(const QStringList& results) override { sent.append(Protocol::finishReport(results)); }
    void sendTotalReport(const QStringList& results) override { sent.append(Protocol::totalReport(results)); }
    void sendCriteriaNeeded() override { sent.append(Protocol::criteriaNeeded()); }
    void abortQuestionSet() override { ++aborted; }
    void reportReceivingFailure() override { ++receivingFailures; }

    // The messages whose head is the given one.
    QList<QByteArray> headed(const char* head) const
    {
        QList<QByteArray> found;
        for (const QByteArray& m : sent)
            if (m.startsWith(QByteArray(head) + '\0'))
                found.append(m);
        return found;
    }
};

class RecordingNotices : public EngineNotices
{
public:
    QList<Notice> notices;
    int withdrawals = 0;
    QStringList told;
    QStringList beside;
    std::optional<QString> name = QStringLiteral("Иванов");
    int namesAsked = 0;
    QList<Appearance> appearances;
    QList<TestDetails> details;
    int detailsClosed = 0;
    QStringList criteriaShown;
    int criteriaClosed = 0;
    std::function<void()> whileAsking; // runs while the name dialog is open

    void showNotice(const Notice& notice) override { notices.append(notice); }
    void withdrawAllNotices() override { ++withdrawals; }
    void tellUser(const QString& text) override { told.append(text); }
    void tellBesideGetQuestions(const QString& text) override { beside.append(text); }
    std::optional<QString> askStudentName() override
    {
        ++namesAsked;
        if (whileAsking)
            whileAsking();
        return name;
    }
    void applyAppearance(const Appearance& a) override { appearances.append(a); }
    void showDetails(const TestDetails& d) override { details.append(d); }
    void closeDetails() override { ++detailsClosed; }
    void showCriteria(const QString& list) override { criteriaShown.append(list); }
    void closeCriteria() override { ++criteriaClosed; }
};

// Timers that run only when a test fires them.
class ManualTimer : public EngineTimer
{
public:
    ManualTimer(std::function<void()> onTimeout, bool singleShot)
        : onTimeout(std::move(onTimeout)), singleShot(singleShot)
    {}
    void start(int ms) override
    {
        active = true;
        interval = ms;
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
    // Fires when running, as the event loop would; a single shot stops first.
    void fire()
    {
        if (!active)
            return;
        if (singleShot)
            active = false;
        onTimeout();
    }

    std::function<void()> onTimeout;
    bool singleShot;
    bool active = false;
    int interval = 0;
};

struct ManualTimers
{
    ManualTimer* countdown = nullptr;
    ManualTimer* setWait = nullptr;

    TimerFactory factory()
    {
        return [this](std::function<void()> onTimeout, bool singleShot) -> std::unique_ptr<EngineTimer> {
            auto timer = std::make_unique<ManualTimer>(std::move(onTimeout), singleShot);
            (singleShot ? setWait : countdown) = timer.get();
            return timer;
        };
    }
};

// The settings a test changes; the rest as the server writes them by default.
struct Settings
{
    int RandomOrder = 0;
    int AllowBack = -1;
    int ShowRights = -1;
    int TimeLimit = 0;
    int MaxTime = 20;
    int GiveMaxCount = 20;
    int TopicID = 7;
    int MixAnswers = 0;
    int HideDetails = 0;
    int ShowPrice = -1;
    int ShowRightCount = -1;
    int ShowRightsInstant = 0;
    int scale = 5;
    bool partial = true;
};

inline QString settingsList(const Settings& s, bool withAppearance = true)
{
    QString text = QStringLiteral("RandomOrder=%1\r\nAllowBack=%2\r\nShowRights=%3\r\nTimeLimit=%4\r\nMaxTime=%5\r\n"
                                  "GiveMaxCount=%6\r\nTopicID=%7\r\nMixAnswers=%8\r\nHideDetails=%9\r\n")
                       .arg(s.RandomOrder)
                       .arg(s.AllowBack)
                       .arg(s.ShowRights)
                       .arg(s.TimeLimit)
                       .arg(s.MaxTime)
                       .arg(s.GiveMaxCount)
                       .arg(s.TopicID)
                       .arg(s.MixAnswers)
                       .arg(s.HideDetails);
    text += QStringLiteral("ShowPrice=%1\r\nShowRightCount=%2\r\nShowRightsInstant=%3\r\n")
                .arg(s.ShowPrice)
                .arg(s.ShowRightCount)
                .arg(s.ShowRightsInstant);
    text += fixture::criteria(s.scale, s.partial, {101, 101, 101, 101, 101, 101, 101, 90, 75, 50, 30, 60});
    if (withAppearance)
        text += QStringLiteral("QueFontColor=65535\r\nQueFontSize=16\r\nQueBGColor=14260127\r\nAnsFontColor=0\r\n"
                               "AnsFontSize=14\r\nAnsBGColor=16768480\r\nRightAnsFontColor=54272\r\n");
    return text;
}

// One question of each kind: choice 11, open 12, ordering 13, matching 14, priced 1 to 4.
inline Table fourKinds()
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 11, .type = 0, .price = 1, .answers = {"a", "b", "c"}, .correct = "13"});
    fixture::addQuestion(t, {.id = 12, .type = 1, .price = 2, .answers = {"Paris"}});
    fixture::addQuestion(t, {.id = 13, .type = 2, .price = 3, .answers = {"a", "b", "c", "d", "e"}});
    fixture::addQuestion(t, {.id = 14, .type = 3, .price = 4, .answers = {"a", "b", "c", "d", "A", "B", "C", "D"}});
    return t;
}

// The package file the server streams: an archive holding the set as "QuestionList.ADTG".
inline QString packageFile(const Table& questions)
{
    const QString adtg = testPath("QuestionList.ADTG");
    WriteAdtgFile(questions, adtg);
    const QString path = testPath("package.cmpr");
    TZLibCompression().CompressFile(adtg, path);
    QFile::remove(adtg);
    return path;
}

// A question file "<topic>.vst4" with its questions and, unless settings are left out, its settings.
inline QString questionFile(const QString& topic, const Table& questions, const QString& settings)
{
    const QString top = testPath(topic + ".top");
    WriteAdtgFile(questions, top);
    QStringList members{top};
    if (!settings.isNull()) {
        QFile set(testPath(topic + ".set"));
        EXPECT_TRUE(set.open(QIODevice::WriteOnly));
        set.write("[Fields]\r\n" + settings.toUtf8() + "[Topic]\r\nRemark=\r\n");
        members.append(set.fileName());
    }
    const QString path = testPath(topic + ".vst4");
    TZLibCompression().CompressFiles(members, path);
    for (const QString& m : members)
        QFile::remove(m);
    return path;
}

// An engine over recorders, seeded fixed.
struct EngineRig
{
    explicit EngineRig(quint32 seed = 1) : engine(sender, notices, seed, timers.factory()) {}

    // Applies the settings from the network and loads the table as the received set.
    void start(const Settings& s, const Table& questions)
    {
        engine.ApplySettingsList(settingsList(s), false);
        engine.LoadQuestionSet(questions);
    }

    RecordingSender sender;
    RecordingNotices notices;
    ManualTimers timers;
    TestEngine engine;
};

} // namespace enginefixture
