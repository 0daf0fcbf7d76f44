#include "adtg.h"
#include "appfolder.h"
#include "archive.h"
#include "connection.h"
#include "enginefixture.h"
#include "enginetexts.h"
#include "linktexts.h"
#include "messagerecorder.h"
#include "ports.h"
#include "resultfile.h"
#include "runlog.h"
#include "serverpeer.h"
#include "studentlink.h"
#include "studentnetwork.h"
#include "testhome.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

using namespace enginefixture;
using Protocol::StudentMessage;

namespace {

constexpr int WaitMs = 5000; // generous bound for loopback events

class RecordingListener : public ServerListener
{
public:
    int port = 0;
    bool active = false;
    int activations = 0;
    void setPort(int p) override { port = p; }
    void setActive(bool on) override
    {
        activations += on ? 1 : 0;
        active = on;
    }
    bool isActive() const override { return active; }
};

class RecordingDialogs : public LinkDialogs
{
public:
    std::optional<QString> address;
    QStringList addressStarts;
    QString questionFile;
    std::optional<QString> askServerAddress(const QString& current) override
    {
        addressStarts.append(current);
        return address;
    }
    QString chooseQuestionFile() override { return questionFile; }
};

QStringList savedWorks()
{
    return QDir(AppFilePath(LinkText::SavedWorksFolder)).entryList(QDir::Files);
}

bool logged(const QString& text)
{
    const QStringList lines = RunLog::lines();
    return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.endsWith(text); });
}

// A link and its engine over recorders, with a testing server on loopback as the peer. The
// reconnection and delivery timers run only when a test fires them.
class LinkTest : public testing::Test
{
protected:
    void SetUp() override
    {
        RunLog::clear();
        ASSERT_NO_FATAL_FAILURE(peer.listen());
        link.attachEngine(&engine);
    }

    TimerFactory linkTimers()
    {
        return [this](std::function<void()> onTimeout, bool singleShot) -> std::unique_ptr<EngineTimer> {
            auto timer = std::make_unique<ManualTimer>(std::move(onTimeout), singleShot);
            (singleShot ? delivery : reconnect) = timer.get();
            return timer;
        };
    }

    int countOf(StudentMessage::Kind kind) const { return peer.count(kind); }

    bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, WaitMs); }

    // Found by discovery and connected: the server has its "Iam".
    void connectByDiscovery()
    {
        link.start({});
        link.ListenerAdvertisementReceived("IamVezuviroz", "127.0.0.1", "teacher");
        reconnect->fire();
        ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Iam) == 1; }));
        ASSERT_EQ(link.state(), ConnectionState::Connected);
    }

    // The server hands out the four-kind set for topic 7; the test runs.
    void handOut()
    {
        const QStringList settings = settingsList({}).split("\r\n", Qt::SkipEmptyParts);
        ASSERT_TRUE(ends.last()->sendQuestionSet(settings, packageFile(fourKinds())));
        ASSERT_TRUE(waitFor([&] { return engine.phase() == TestPhase::Answering; }));
    }

    // The server's end drops the connection; the link has taken the loss.
    void dropConnection()
    {
        const int lostBefore = lossCount;
        ends.last()->socket()->abort();
        ASSERT_TRUE(waitFor([&] { return !link.connection().isConnected() && lossCount > lostBefore; }));
    }

    void reconnectNow()
    {
        ASSERT_TRUE(reconnect->active);
        const qsizetype ends0 = ends.size();
        reconnect->fire();
        ASSERT_TRUE(waitFor([&] { return ends.size() == ends0 + 1 && link.connection().isConnected(); }));
    }

    // The student walks to the last question and ends the test.
    void finishTest()
    {
        for (int i = 0; i < engine.view().count && engine.view().nextEnabled; ++i)
            engine.btnNextClick();
        ASSERT_TRUE(engine.view().readyEnabled);
        engine.btnReadyClick();
    }

    void serverSends(const QByteArray& message) { ends.last()->send(message); }

    RecordingNotices notices;
    RecordingDialogs dialogs;
    RecordingListener listener;
    ManualTimer* reconnect = nullptr;
    ManualTimer* delivery = nullptr;
    ManualTimers engineTimers;
    StudentLink link{notices, dialogs, listener, MakeStudentChannel, 1, linkTimers()};
    TestEngine engine{link, notices, 1, engineTimers.factory()};
    int lossCount = 0;
    QMetaObject::Connection lossWatch = QObject::connect(&link, &StudentLink::changed, [this] {
        if (!link.connection().isConnected())
            ++lossCount;
    });
    ServerPeer peer;
    CommandServer& server = peer.server;
    QList<ServerConnection*>& ends = peer.ends;
    QList<StudentMessage>& received = peer.received;
};

} // namespace

TEST_F(LinkTest, StartReadsPortsMakesFoldersAndListens)
{
    QFile::remove(AppFilePath("Ports"));
    link.start({});
    EXPECT_TRUE(logged("UDP port is 9000. TCP port is 4545"));
    EXPECT_EQ(listener.port, 9000);
    EXPECT_EQ(link.tcpPort(), 4545);
    EXPECT_TRUE(QDir(AppFilePath("Temp")).exists());
    EXPECT_TRUE(QDir(AppFilePath("SavedWorks")).exists());
    EXPECT_TRUE(listener.active);
    EXPECT_EQ(link.state(), ConnectionState::Searching);
    EXPECT_GE(link.reconnectInterval(), 0);
    EXPECT_LT(link.reconnectInterval(), StudentLink::ReconnectRandomMs);
    EXPECT_TRUE(link.view().statusShown);
    EXPECT_EQ(link.view().statusText, "Поиск сервера...");
}

TEST_F(LinkTest, AFileArgumentWorksWithoutAServer)
{
    const QString notQuestions = testPath("notes.txt");
    QFile f(notQuestions);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("plain text");
    f.close();
    link.start({notQuestions});
    EXPECT_EQ(link.state(), ConnectionState::Autonomous);
    EXPECT_EQ(engine.phase(), TestPhase::ArgumentFile);
    // A missing file is no argument file.
    StudentLink other(notices, dialogs, listener, MakeStudentChannel, 2, linkTimers());
    other.start({testPath("missing.vst4")});
    EXPECT_EQ(other.state(), ConnectionState::Searching);
}

TEST_F(LinkTest, AddressesAreFourDecimalPartsUpTo255)
{
    struct Case
    {
        const char* text;
        bool valid;
    } cases[] = {
        {"10.0.0.5", true},    {"0.0.0.0", true},    {"255.255.255.255", true}, {"192.168.1.300", false},
        {"1.2.3", false},      {"1.2.3.4.5", false}, {"1.2..4", false},         {"a.b.c.d", false},
        {" 1.2.3.4", false},   {"1.2.3.-4", false},  {"1.2.3.4\n", false},      {"", false},
        {"0001.2.3.4", false}, {"١.2.3.4", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StudentLink::IsValidAddress(QString::fromUtf8(c.text)), c.valid) << c.text;
}

TEST_F(LinkTest, ATypedAddressIsCheckedThenSavedAndConnects)
{
    link.start({});
    MessageRecorder messages;
    dialogs.address = "192.168.1.300";
    link.rgMetodClick(WorkMode::ManualAddress);
    EXPECT_EQ(messages.texts, QStringList{"Некорректный IP-адрес: 192.168.1.300"});
    EXPECT_EQ(link.view().mode, WorkMode::Automatic);
    EXPECT_TRUE(listener.active);
    EXPECT_TRUE(link.serverAddress().isEmpty());
    EXPECT_FALSE(QFile::exists(AppFilePath("ServerIP")));

    dialogs.address.reset(); // cancelled
    link.rgMetodClick(WorkMode::ManualAddress);
    EXPECT_EQ(link.view().mode, WorkMode::Automatic);
    EXPECT_EQ(messages.texts.size(), 1);

    dialogs.address = "10.0.0.5";
    link.rgMetodClick(WorkMode::ManualAddress);
    EXPECT_FALSE(listener.active);
    EXPECT_EQ(link.serverAddress(), "10.0.0.5");
    EXPECT_EQ(link.view().statusText, "Соединение с адресом 10.0.0.5 ...");
    QFile saved(AppFilePath("ServerIP"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("10.0.0.5")); // the address alone, no line end
    // The next prompt starts with the current address.
    dialogs.address.reset();
    link.rgMetodClick(WorkMode::ManualAddress);
    EXPECT_EQ(dialogs.addressStarts.last(), "10.0.0.5");
}

TEST_F(LinkTest, TheSavedAddressConnectsOrIsReportedAndForgotten)
{
    link.start({});
    MessageRecorder messages;
    link.rgMetodClick(WorkMode::SavedAddress);
    EXPECT_EQ(messages.texts.last(), "Сохранённый IP-адрес сервера не найден");
    EXPECT_EQ(link.view().mode, WorkMode::Automatic);

    auto save = [](const QByteArray& bytes) {
        QFile f(AppFilePath("ServerIP"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    save("10.0.0.999");
    link.rgMetodClick(WorkMode::SavedAddress);
    EXPECT_EQ(messages.texts.last(), "Некорректный IP-адрес: 10.0.0.999");
    EXPECT_FALSE(QFile::exists(AppFilePath("ServerIP")));
    EXPECT_TRUE(listener.active);

    save("127.0.0.1\r\nrest");
    link.rgMetodClick(WorkMode::SavedAddress);
    EXPECT_FALSE(listener.active);
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Iam) == 1; }));
    EXPECT_EQ(link.state(), ConnectionState::Connected);
    EXPECT_FALSE(link.view().statusShown);
    QFile kept(AppFilePath("ServerIP"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("127.0.0.1\r\nrest")); // not rewritten
}

TEST_F(LinkTest, TheServerOptionConnectsWithoutDiscovery)
{
    link.start({}, "127.0.0.1");
    EXPECT_EQ(listener.activations, 0);
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Iam) == 1; }));
    EXPECT_EQ(received.last().topicId, 0);
    EXPECT_FALSE(received.last().hostName.isEmpty());

    StudentLink refused(notices, dialogs, listener, MakeStudentChannel, 2, linkTimers());
    refused.start({}, "127.0.0.256");
    EXPECT_TRUE(listener.active);
    EXPECT_TRUE(refused.serverAddress().isEmpty());
}

TEST_F(LinkTest, OnlyTheFirstServerAnswerIsTaken)
{
    link.start({});
    link.ListenerAdvertisementReceived("SomethingElse", "10.0.0.9", "other");
    EXPECT_TRUE(listener.active);
    EXPECT_FALSE(reconnect->active);
    link.ListenerAdvertisementReceived("IamVezuviroz", "127.0.0.1", "teacher");
    EXPECT_FALSE(listener.active);
    EXPECT_TRUE(reconnect->active);
    EXPECT_EQ(reconnect->interval, link.reconnectInterval());
    link.ListenerAdvertisementReceived("IamVezuviroz", "10.0.0.7", "second");
    EXPECT_EQ(link.serverAddress(), "127.0.0.1");
    EXPECT_TRUE(logged("Advertisement: 10.0.0.7 second \"IamVezuviroz\""));
    reconnect->fire();
    EXPECT_FALSE(reconnect->active);
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Iam) == 1; }));
    EXPECT_TRUE(logged("Connecting 127.0.0.1 ..."));
    EXPECT_TRUE(logged("Connected"));
}

TEST_F(LinkTest, AnErrorRetriesAfterTheInterval)
{
    link.start({});
    const quint16 port = server.port();
    server.close();
    link.ListenerAdvertisementReceived("IamVezuviroz", "127.0.0.1", "teacher");
    reconnect->fire();
    ASSERT_TRUE(waitFor([&] { return reconnect->active; })); // the refusal restarts the timer
    EXPECT_TRUE(logged("ErrorCode=10061 (No connection could be made because the target machine actively refused it)"));
    ASSERT_TRUE(server.listen(port));
    reconnect->fire();
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Iam) == 1; }));
    EXPECT_EQ(link.state(), ConnectionState::Connected);
}

TEST_F(LinkTest, TheServersCommandsAreAnswered)
{
    connectByDiscovery();
    serverSends(Protocol::command(Protocol::Head::Noop));
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::NoopEcho) == 1; }));
    serverSends(Protocol::command(Protocol::Head::WhoAreYou));
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Iam) == 2; }));
    serverSends(Protocol::setPorts(9100, 4600));
    ASSERT_TRUE(waitFor([&] { return ReadPorts().udp == 9100; }));
    EXPECT_EQ(ReadPorts().tcp, 4600);

    serverSends(Protocol::allowRequest(7, false, "Дроби"));
    ASSERT_TRUE(waitFor([&] { return link.requestOffered(); }));
    EXPECT_TRUE(link.view().offerShown);
    EXPECT_EQ(link.view().offerHint, "Доступна тема: \"Дроби\"");
    link.btnGetQuestionsClick();
    EXPECT_FALSE(link.view().offerShown);
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::GetQuestions) == 1; }));
    // The server offers again with its retry flag: the press was lost on the way.
    serverSends(Protocol::allowRequest(7, true, "Дроби"));
    ASSERT_TRUE(waitFor([&] { return !notices.beside.isEmpty(); }));
    EXPECT_EQ(notices.beside, QStringList{EngineText::NetworkFailure});
    serverSends(Protocol::command(Protocol::Head::DenyRequest));
    ASSERT_TRUE(waitFor([&] { return !link.requestOffered(); }));
    EXPECT_TRUE(link.view().offerHint.isEmpty());

    serverSends(Protocol::yourFinalPointsAre(5));
    ASSERT_TRUE(waitFor([&] { return !notices.notices.isEmpty(); }));
    EXPECT_EQ(notices.notices.last(), (Notice{"Окончательная оценка", "Окончательная оценка: \"5\"\r\r",
                                              NoticeIcon::Information, NoticeColour::BrightGreen, 10}));

    MessageRecorder messages;
    link.WaitPanelClick();
    EXPECT_EQ(messages.texts, QStringList{"Ну тебе же сказано: \"ЖДИ СПОКОЙНО!!!\""});
}

TEST_F(LinkTest, ClosingIsRefusedWhileConnectedUntilTheServerCloses)
{
    connectByDiscovery();
    bool closeAsked = false;
    QObject::connect(&link, &StudentLink::closeRequested, [&] { closeAsked = true; });
    MessageRecorder messages;
    EXPECT_FALSE(link.FormCloseQuery());
    EXPECT_EQ(messages.texts, QStringList{"Не нужно закрывать программу!"});
    ASSERT_TRUE(waitFor([&] { return logged("In: \"!NOOP\""); }));
    serverSends(Protocol::command(Protocol::Head::CloseClient));
    ASSERT_TRUE(waitFor([&] { return closeAsked; }));
    EXPECT_TRUE(link.FormCloseQuery());
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(LinkTest, ALossOutsideATestIsSearchingAgainWithoutANotice)
{
    connectByDiscovery();
    dropConnection();
    EXPECT_EQ(link.state(), ConnectionState::Searching);
    EXPECT_TRUE(notices.notices.isEmpty());
    EXPECT_TRUE(listener.active);
    EXPECT_TRUE(link.view().statusShown);
    EXPECT_GE(link.reconnectInterval(), StudentLink::ReconnectLostMs);
    EXPECT_LT(link.reconnectInterval(), StudentLink::ReconnectLostMs + StudentLink::ReconnectRandomMs);
    EXPECT_TRUE(logged("Disconnected"));
    // A student who is not connected may close the program.
    EXPECT_TRUE(link.FormCloseQuery());
}

TEST_F(LinkTest, ALostTestKeepsItsAnswersAndSendsThemWholeOnReady)
{
    connectByDiscovery();
    handOut();
    engine.ToggleTick(1);
    engine.btnNextClick();
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Report) == 1; }));

    dropConnection();
    EXPECT_EQ(link.state(), ConnectionState::Lost);
    ASSERT_EQ(notices.notices.size(), 1);
    EXPECT_EQ(notices.notices[0].title, "Соединение потеряно!");
    EXPECT_EQ(notices.notices[0].icon, NoticeIcon::Warning);
    EXPECT_EQ(notices.notices[0].seconds, 10);

    // Answered while the cable is out: kept in the engine.
    engine.SetOpenAnswer("Paris");
    engine.btnNextClick();
    EXPECT_EQ(engine.phase(), TestPhase::Answering);

    reconnectNow();
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::Iam) == 2; }));
    EXPECT_EQ(received.last().topicId, 7);
    EXPECT_EQ(link.state(), ConnectionState::Restored);
    EXPECT_EQ(notices.notices.last().title, "Соединение восстановлено!");

    serverSends(Protocol::ready(8)); // another topic: ignored
    serverSends(Protocol::command(Protocol::Head::Noop));
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::NoopEcho) == 1; }));
    EXPECT_EQ(link.state(), ConnectionState::Restored);
    EXPECT_EQ(countOf(StudentMessage::Kind::TotalReport), 0);

    serverSends(Protocol::ready(7));
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::TotalReport) == 1; }));
    EXPECT_EQ(link.state(), ConnectionState::Connected);
    const StudentMessage& total = received.last();
    ASSERT_EQ(total.lines.size(), 4);
    EXPECT_TRUE(total.lines[0].startsWith("11="));
    EXPECT_EQ(total.lines[1], "12=Paris"); // the answer given while disconnected
}

TEST_F(LinkTest, ATestEndedBeforeReadyIsSavedToAFile)
{
    connectByDiscovery();
    handOut();
    dropConnection();
    reconnectNow();
    ASSERT_TRUE(waitFor([&] { return link.state() == ConnectionState::Restored; }));
    finishTest();
    EXPECT_EQ(savedWorks().size(), 1);
    EXPECT_EQ(notices.namesAsked, 1);
    EXPECT_EQ(countOf(StudentMessage::Kind::FinishReport), 0);
}

// Closing (or the computer shutting down) during a test that no server holds saves the work to a
// file; a test the server holds, or no test at all, leaves no file.
enum class CloseSituation
{
    LostInTest,
    RestoredBeforeReady,
    OfflineInTest,
    ClosedByServer,
    LostOutsideTest,
    OfflineEnded
};

struct CloseCase
{
    const char* name;
    CloseSituation situation;
    bool saved;
};

class LinkCloseTest : public LinkTest, public testing::WithParamInterface<CloseCase>
{
protected:
    void startOffline()
    {
        link.start({});
        dialogs.questionFile = questionFile("Алгебра", fourKinds(), settingsList({.TopicID = 4}, false));
        link.rgMetodClick(WorkMode::Autonomous);
        ASSERT_EQ(engine.phase(), TestPhase::Answering);
    }

    void reach(CloseSituation situation)
    {
        switch (situation) {
        case CloseSituation::LostInTest:
            connectByDiscovery();
            handOut();
            engine.ToggleTick(1);
            dropConnection();
            break;
        case CloseSituation::RestoredBeforeReady:
            connectByDiscovery();
            handOut();
            dropConnection();
            reconnectNow();
            ASSERT_TRUE(waitFor([&] { return link.state() == ConnectionState::Restored; }));
            break;
        case CloseSituation::OfflineInTest:
            startOffline();
            break;
        case CloseSituation::ClosedByServer: {
            connectByDiscovery();
            handOut();
            bool closeAsked = false;
            QObject::connect(&link, &StudentLink::closeRequested, [&] { closeAsked = true; });
            serverSends(Protocol::command(Protocol::Head::CloseClient));
            ASSERT_TRUE(waitFor([&] { return closeAsked; }));
            break;
        }
        case CloseSituation::LostOutsideTest:
            connectByDiscovery();
            dropConnection();
            break;
        case CloseSituation::OfflineEnded:
            startOffline();
            finishTest();
            ASSERT_EQ(savedWorks().size(), 1); // saved at its end
            ASSERT_TRUE(QDir(AppFilePath(LinkText::SavedWorksFolder)).removeRecursively());
            break;
        }
    }
};

TEST_P(LinkCloseTest, ClosingDuringATestNoServerHoldsSavesTheWork)
{
    ASSERT_NO_FATAL_FAILURE(reach(GetParam().situation));
    ASSERT_TRUE(savedWorks().isEmpty());
    const int namesAsked = notices.namesAsked;
    const QString answers = engine.AnswerList();
    EXPECT_TRUE(link.FormCloseQuery());
    EXPECT_EQ(savedWorks().size(), GetParam().saved ? 1 : 0);
    EXPECT_EQ(notices.namesAsked - namesAsked, GetParam().saved ? 1 : 0);
    EXPECT_EQ(logged(LinkText::ClosedInTestLog), GetParam().saved);
    if (GetParam().saved && savedWorks().size() == 1) { // the answers given so far, all of them
        const QString file = QDir(AppFilePath(LinkText::SavedWorksFolder)).filePath(savedWorks().first());
        EXPECT_EQ(ReadResultFile(file).work.answerList, answers);
    }
}

INSTANTIATE_TEST_SUITE_P(Situations, LinkCloseTest,
                         testing::Values(CloseCase{"LostInTest", CloseSituation::LostInTest, true},
                                         CloseCase{"RestoredBeforeReady", CloseSituation::RestoredBeforeReady, true},
                                         CloseCase{"OfflineInTest", CloseSituation::OfflineInTest, true},
                                         CloseCase{"ClosedByServer", CloseSituation::ClosedByServer, false},
                                         CloseCase{"LostOutsideTest", CloseSituation::LostOutsideTest, false},
                                         CloseCase{"OfflineEnded", CloseSituation::OfflineEnded, false}),
                         [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST_F(LinkTest, TheFinalReportIsDeliveredWhenThePreliminaryMarkComesBack)
{
    connectByDiscovery();
    handOut();
    finishTest();
    EXPECT_TRUE(link.awaitingDelivery());
    EXPECT_EQ(delivery->interval, StudentLink::DeliveryWaitMs);
    ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::FinishReport) == 1; }));
    serverSends(Protocol::yourPrePointsAre("5", 100.0, {}));
    ASSERT_TRUE(waitFor([&] { return !link.awaitingDelivery(); }));
    dropConnection();
    EXPECT_TRUE(savedWorks().isEmpty());
    EXPECT_EQ(notices.namesAsked, 0);
}

TEST_F(LinkTest, AnUndeliveredFinalReportGoesToAFile)
{
    struct Case
    {
        const char* name;
        std::function<void()> fail;
    } cases[] = {
        {"the server drops before answering", [this] { dropConnection(); }},
        {"no answer within the wait", [this] { delivery->fire(); }},
    };
    connectByDiscovery();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(AppFilePath("SavedWorks")).removeRecursively();
        QDir().mkpath(AppFilePath("SavedWorks"));
        notices.notices.clear();
        if (!link.connection().isConnected()) {
            // Back with the ended test: the teacher has the saved work and clears the workplace.
            reconnectNow();
            ASSERT_TRUE(waitFor([&] { return link.state() == ConnectionState::Restored; }));
            serverSends(Protocol::command(Protocol::Head::NextStudent));
        }
        ASSERT_TRUE(waitFor([&] { return link.state() == ConnectionState::Connected; }));
        ASSERT_NO_FATAL_FAILURE(handOut());
        received.clear();
        finishTest();
        ASSERT_TRUE(waitFor([&] { return countOf(StudentMessage::Kind::FinishReport) == 1; }));
        c.fail();
        EXPECT_FALSE(link.awaitingDelivery());
        EXPECT_EQ(savedWorks().size(), 1);
        ASSERT_FALSE(notices.notices.isEmpty());
        const Notice& told = notices.notices.last();
        EXPECT_EQ(told.title, "Работа сохранена в файл");
        EXPECT_TRUE(told.text.contains(savedWorks().value(0)));
        EXPECT_TRUE(logged("FinishReport not confirmed: the work is saved to a file."));
    }
}

TEST_F(LinkTest, AQuestionFileStartsWorkWithoutAServer)
{
    link.start({});
    dialogs.questionFile.clear(); // cancelled
    link.rgMetodClick(WorkMode::Autonomous);
    EXPECT_EQ(link.view().mode, WorkMode::Automatic);
    EXPECT_EQ(link.state(), ConnectionState::Searching);

    // A file with no questions member starts nothing.
    const QString other = testPath("other.txt");
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
    f.close();
    const QString packed = testPath("nothing.vst4");
    TZLibCompression().CompressFiles({other}, packed);
    dialogs.questionFile = packed;
    MessageRecorder messages;
    link.rgMetodClick(WorkMode::Autonomous);
    EXPECT_EQ(link.view().mode, WorkMode::Automatic);
    EXPECT_EQ(link.state(), ConnectionState::Searching);
    EXPECT_TRUE(listener.active);
}
