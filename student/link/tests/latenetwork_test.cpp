#include "latenetwork.h"
#include "runlog.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct FakeChannel : ServerChannel
{
    QStringList calls;
    bool connected = false;
    void connectToServer(const QString& address, quint16 port) override
    {
        calls.append(QStringLiteral("connect %1:%2").arg(address).arg(port));
    }
    bool isUnconnected() const override { return calls.isEmpty(); }
    bool isConnected() const override { return connected; }
    void send(const QByteArray& message) override { calls.append(QString::fromLatin1(message)); }
    void sendIam(int, const QString&) override { calls.append(QStringLiteral("Iam")); }
    void sendNoop() override { calls.append(QStringLiteral("Noop")); }
    void sendRout(int, const QStringList&) override { calls.append(QStringLiteral("Rout")); }
    void sendReport(const Protocol::ReportLines&) override { calls.append(QStringLiteral("Report")); }
    void sendFinishReport(const QStringList&) override { calls.append(QStringLiteral("FinishReport")); }
    void sendTotalReport(const QStringList&) override { calls.append(QStringLiteral("TotalReport")); }
    void sendCriteriaNeeded() override { calls.append(QStringLiteral("CriteriaNeeded")); }
    void abortQuestionSet() override { calls.append(QStringLiteral("abort")); }
    void reportQuestionSetFailure() override { calls.append(QStringLiteral("failure")); }
};

struct FakeListener : ServerListener
{
    int port = 0;
    bool active = false;
    AdvertisementHandler handler;
    void setPort(int p) override { port = p; }
    void setActive(bool on) override { active = on; }
    bool isActive() const override { return active; }
};

// Hands out fakes and keeps pointers to them.
struct FakeNetwork : StudentNetwork
{
    FakeChannel* channelMade = nullptr;
    FakeListener* listenerMade = nullptr;
    std::unique_ptr<ServerChannel> channel(ServerChannelEvents&) override
    {
        auto c = std::make_unique<FakeChannel>();
        channelMade = c.get();
        return c;
    }
    std::unique_ptr<ServerListener> listener(AdvertisementHandler onAdvertisement) override
    {
        auto l = std::make_unique<FakeListener>();
        l->handler = std::move(onAdvertisement);
        listenerMade = l.get();
        return l;
    }
};

struct RecordingEvents : ServerChannelEvents
{
    QList<int> errors;
    void channelConnected() override {}
    void channelDisconnected() override {}
    void channelError(int wsaCode) override { errors.append(wsaCode); }
    void channelMessage(const Protocol::ServerMessage&) override {}
    void channelQuestionSet(const QByteArray&) override {}
    void channelQuestionSetFailed() override {}
    void channelUnsent(const QByteArray&) override {}
};

} // namespace

// Before the sockets come the link's requests are kept: the listener's port and state, the server to
// connect to. Nothing is connected, so nothing is sent. When they come, the requests are carried
// out, and from then on everything goes straight through.
TEST(LateNetwork, WhatIsAskedBeforeTheSocketsComeIsDoneWhenTheyDo)
{
    LateNetwork late;
    QStringList heard;
    late.setAdvertisementHandler(
        [&](const QString& info, const QString& ip, const QString& name) { heard << info << ip << name; });
    RecordingEvents events;
    std::unique_ptr<ServerChannel> channel = late.channels()(events);
    ServerListener& listener = late.listener();

    listener.setPort(7001);
    listener.setActive(true);
    EXPECT_TRUE(listener.isActive());
    EXPECT_TRUE(channel->isUnconnected());
    channel->connectToServer(QStringLiteral("10.0.0.5"), 6001);
    EXPECT_FALSE(channel->isUnconnected()); // an attempt is waiting: no second one starts
    EXPECT_FALSE(channel->isConnected());
    channel->sendNoop();
    EXPECT_FALSE(late.arrived());

    auto network = std::make_unique<FakeNetwork>();
    FakeNetwork* fake = network.get();
    late.arrive(std::move(network));
    EXPECT_TRUE(late.arrived());
    ASSERT_NE(fake->listenerMade, nullptr);
    ASSERT_NE(fake->channelMade, nullptr);
    EXPECT_EQ(fake->listenerMade->port, 7001);
    EXPECT_TRUE(fake->listenerMade->active);
    EXPECT_EQ(fake->channelMade->calls, QStringList{QStringLiteral("connect 10.0.0.5:6001")});

    fake->listenerMade->handler(QStringLiteral("IamVezuviroz"), QStringLiteral("10.0.0.5"), QStringLiteral("T"));
    EXPECT_EQ(heard, (QStringList{"IamVezuviroz", "10.0.0.5", "T"}));
    listener.setActive(false);
    EXPECT_FALSE(fake->listenerMade->active);
    fake->channelMade->connected = true;
    EXPECT_TRUE(channel->isConnected());
    channel->sendNoop();
    channel->sendFinishReport({});
    EXPECT_EQ(fake->channelMade->calls.mid(1), (QStringList{"Noop", "FinishReport"}));
}

// The listener is asked nothing before the sockets come: it starts as it was left, off.
TEST(LateNetwork, AnUntouchedListenerStaysOffAndAChannelMadeLaterGoesStraightThrough)
{
    LateNetwork late;
    auto network = std::make_unique<FakeNetwork>();
    FakeNetwork* fake = network.get();
    late.arrive(std::move(network));
    EXPECT_FALSE(fake->listenerMade->active);
    RecordingEvents events;
    std::unique_ptr<ServerChannel> channel = late.channels()(events);
    ASSERT_NE(fake->channelMade, nullptr);
    EXPECT_TRUE(channel->isUnconnected());
    channel->connectToServer(QStringLiteral("10.0.0.6"), 6002);
    EXPECT_EQ(fake->channelMade->calls, QStringList{QStringLiteral("connect 10.0.0.6:6002")});
}

// The module the build puts beside the programs (and the tests) loads, and what its sockets log
// lands in the program's run log.
TEST(LateNetwork, TheBuiltModuleLoadsAndLogsIntoTheProgramsLog)
{
    RunLog::clear();
    QString error;
    std::unique_ptr<StudentNetwork> network = LoadStudentNetwork(&error);
    ASSERT_NE(network, nullptr) << error.toStdString();
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    RecordingEvents events;
    std::unique_ptr<ServerChannel> channel = network->channel(events);
    channel->connectToServer(QStringLiteral("127.0.0.1"), closedPort);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.errors.isEmpty(); }, 5000));
    EXPECT_EQ(events.errors.first(), 10061);
    const QStringList lines = RunLog::lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) { return l.contains("ErrorCode=10061"); }))
        << lines.join('\n').toStdString();
}

// A module that is not there, or of another version (left by another installation), is refused
// with the reason, and nothing of the other version runs.
TEST(LateNetwork, AMissingModuleOrOneOfAnotherVersionIsRefusedWithTheReason)
{
    const QString folder = QCoreApplication::applicationDirPath();
    const struct
    {
        QString path;
        QString reason;
    } cases[] = {
        {folder + QStringLiteral("/libnothere.so"), QStringLiteral("libnothere.so")},
        {folder + QStringLiteral("/libstudentnet_otherversion.so"),
         QStringLiteral("is of version 3.9.0, the program of version %1").arg(QStringLiteral(VASTREL_VERSION))},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(LoadStudentNetworkFrom(c.path, &error), nullptr) << c.path.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
}
