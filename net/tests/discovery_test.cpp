#include "discovery.h"
#include "runlog.h"
#include "udpaduser.h"
#include "udpadvertiser.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Discovery;

namespace {

constexpr int WaitMs = 5000;

QByteArray withCheck(const QByteArray& payload, quint32 check)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((check >> (8 * i)) & 0xFF);
    return out + payload;
}

} // namespace

TEST(DiscoveryDatagrams, CheckValueAndAnswerLayout)
{
    EXPECT_EQ(CheckValue("abc"), 9824u);
    EXPECT_EQ(CheckValue(""), 0u);
    // "PC,Iam": sum 470 mod 256 = 0xD6, exclusive-or 0x7A
    EXPECT_EQ(BuildAnswer(QStringLiteral("PC"), QStringLiteral("Iam")), QByteArray("\x7A\xD6\x00\x00PC,Iam", 10));

    struct Case
    {
        const char* name;
        QByteArray datagram;
        std::optional<QByteArray> payload;
    };
    const Case cases[] = {
        {"right check", withCheck("abc", 9824), QByteArray("abc")},
        {"wrong check", withCheck("abc", 9825), std::nullopt},
        {"check in the upper bytes", withCheck("abc", 9824 + 0x10000), std::nullopt},
        {"four bytes only", QByteArray(4, '\0'), std::nullopt},
        {"nothing", QByteArray(), std::nullopt},
        {"one byte of payload", withCheck("z", CheckValue("z")), QByteArray("z")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckedPayload(c.datagram), c.payload) << c.name;
}

TEST(DiscoveryDatagrams, PayloadSplitsAtTheFirstComma)
{
    const Answer plain = SplitPayload("PC-1,IamVezuviroz");
    EXPECT_EQ(plain.computerName, "PC-1");
    EXPECT_EQ(plain.infoString, "IamVezuviroz");
    const Answer noComma = SplitPayload("IamVezuviroz");
    EXPECT_EQ(noComma.computerName, "");
    EXPECT_EQ(noComma.infoString, "IamVezuviroz");
    const Answer two = SplitPayload("A,b,c");
    EXPECT_EQ(two.computerName, "A");
    EXPECT_EQ(two.infoString, "b,c");
    EXPECT_EQ(SplitPayload("\xCF\xCA,x").computerName, QStringLiteral("ПК"));
}

TEST(DiscoveryDatagrams, ComputerNameIsTheShortHostName)
{
    const QString name = LocalComputerName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_LE(name.size(), 15);
    EXPECT_FALSE(name.contains(u'.'));
}

namespace {

// Collects the events of a TUDPAdUser.
struct Events
{
    explicit Events(TUDPAdUser& user)
    {
        QObject::connect(&user, &TUDPAdUser::OnNewAdvertiserDetected, [this](TUDPAdUser*) { ++newOnes; });
        QObject::connect(&user, &TUDPAdUser::OnAdvertisementReceived,
                         [this](TUDPAdUser*, const QString& info, const QString& ip, const QString& name) {
                             received += QStringList{info, ip, name};
                         });
    }
    int newOnes = 0;
    QList<QStringList> received;
};

// A fake server on a loopback address that answers each query with the datagrams it is given.
class FakeServer
{
public:
    explicit FakeServer(const QString& address = QStringLiteral("127.0.0.1"))
    {
        EXPECT_TRUE(m_socket.bind(QHostAddress(address), 0));
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams()) {
                QByteArray query(int(m_socket.pendingDatagramSize()), '\0');
                QHostAddress from;
                quint16 port = 0;
                m_socket.readDatagram(query.data(), query.size(), &from, &port);
                queries += query;
                for (const QByteArray& answer : std::as_const(answers))
                    m_socket.writeDatagram(answer, from, port);
            }
        });
    }
    quint16 port() const { return m_socket.localPort(); }
    QList<QByteArray> answers;
    QList<QByteArray> queries;

private:
    QUdpSocket m_socket;
};

void aimAt(TUDPAdUser& user, quint16 port, int interval = 100)
{
    user.setPort(port);
    user.setBroadcastAddress(QStringLiteral("127.0.0.1"));
    user.setBroadCastInterval(interval);
}

} // namespace

TEST(DiscoveryLoopback, StudentFindsTheServer)
{
    RunLog::clear();
    TUDPAdvertiser advertiser;
    advertiser.setPort(0);
    advertiser.setDefaultInfoString(QStringLiteral("IamVezuviroz"));
    EXPECT_TRUE(advertiser.isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return advertiser.boundPort() != 0; }, WaitMs));

    TUDPAdUser user;
    aimAt(user, quint16(advertiser.boundPort()));
    Events events(user);
    user.setActive(true);
    QTest::qWait(0);
    EXPECT_TRUE(user.isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.received.size() >= 3; }, WaitMs));
    EXPECT_EQ(events.newOnes, 1);
    EXPECT_EQ(events.received[0], (QStringList{"IamVezuviroz", "127.0.0.1", LocalComputerName()}));
    ASSERT_EQ(user.advertisers().count(), 1);
    EXPECT_EQ(user.advertisers().at(0).ip, "127.0.0.1");
    EXPECT_EQ(user.advertisers().at(0).computerName, LocalComputerName());
    EXPECT_EQ(user.advertisers().at(0).infoString, "IamVezuviroz");
    EXPECT_TRUE(RunLog::lines().isEmpty()) << "nothing went wrong, nothing to log";
}

TEST(DiscoveryLoopback, AnyQueryIsAnsweredEvenAnEmptyOne)
{
    TUDPAdvertiser advertiser;
    advertiser.setPort(0);
    advertiser.setDefaultInfoString(QStringLiteral("Info"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return advertiser.boundPort() != 0; }, WaitMs));
    QUdpSocket asker;
    ASSERT_TRUE(asker.bind(QHostAddress::LocalHost, 0));
    for (const QByteArray& query : {QByteArray(), QByteArray(200, 'x')}) {
        asker.writeDatagram(query, QHostAddress::LocalHost, quint16(advertiser.boundPort()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return asker.hasPendingDatagrams(); }, WaitMs));
        QByteArray answer(int(asker.pendingDatagramSize()), '\0');
        asker.readDatagram(answer.data(), answer.size());
        EXPECT_EQ(CheckedPayload(answer), (LocalComputerName() + ",Info").toLatin1());
    }
}

TEST(DiscoveryLoopback, BadAnswersAreDroppedAndOneItemPerAddress)
{
    FakeServer first;
    first.answers = {withCheck("X,bad", CheckValue("X,bad") + 1), QByteArray("\x01\x02\x03\x04", 4),
                     withCheck("NoComma", CheckValue("NoComma"))};
    TUDPAdUser user;
    aimAt(user, first.port());
    Events events(user);
    user.setActive(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.received.size() >= 2; }, WaitMs));
    ASSERT_FALSE(first.queries.isEmpty());
    EXPECT_EQ(first.queries[0], "blah");
    EXPECT_EQ(events.newOnes, 1);
    for (const QStringList& r : events.received)
        EXPECT_EQ(r, (QStringList{"NoComma", "127.0.0.1", ""}));
    ASSERT_EQ(user.advertisers().count(), 1);
    EXPECT_EQ(user.advertisers().at(0).computerName, "");

    // the same address with another name updates its item; another address adds one
    first.answers = {withCheck("PC2,Other", CheckValue("PC2,Other"))};
    ASSERT_TRUE(QTest::qWaitFor([&] { return user.advertisers().at(0).computerName == "PC2"; }, WaitMs));
    EXPECT_EQ(user.advertisers().count(), 1);
    EXPECT_EQ(events.newOnes, 1);

    // another address: a new item after the list was emptied by the new activation
    FakeServer second(QStringLiteral("127.0.0.2"));
    second.answers = {withCheck("PC3,Iam", CheckValue("PC3,Iam"))};
    user.setPort(second.port());
    user.setBroadcastAddress(QStringLiteral("127.0.0.2"));
    user.setActive(true); // a new activation empties the list
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return user.advertisers().count() == 1 && user.advertisers().at(0).ip == "127.0.0.2"; }, WaitMs));
    EXPECT_EQ(events.newOnes, 2);
}

TEST(DiscoveryLoopback, IntervalHasAFloorOf100)
{
    TUDPAdUser user;
    EXPECT_EQ(user.broadCastInterval(), 1000);
    user.setBroadCastInterval(50);
    EXPECT_EQ(user.broadCastInterval(), 100);
    user.setBroadCastInterval(250);
    EXPECT_EQ(user.broadCastInterval(), 250);

    FakeServer fake;
    aimAt(user, fake.port(), 10);
    EXPECT_EQ(user.broadCastInterval(), 100);
    user.setActive(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.queries.isEmpty(); }, WaitMs));
    const qsizetype first = fake.queries.size();
    QTest::qWait(600);
    // 600 ms at 100 ms make about 6 queries; without the floor there would be dozens
    EXPECT_LE(fake.queries.size() - first, 8);
    EXPECT_GE(fake.queries.size() - first, 2);
}

TEST(DiscoveryLoopback, AutoDeactivation)
{
    TUDPAdUser user;
    EXPECT_EQ(user.autoDeactivationDelay(), 3500);
    FakeServer fake;
    aimAt(user, fake.port());
    user.setAutoDeactivationDelay(300);
    QSignalSpy spy(&user, &TUDPAdUser::activeChanged);
    QElapsedTimer timer;
    timer.start();
    user.setActive(true);
    EXPECT_TRUE(user.isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !user.isActive(); }, WaitMs));
    EXPECT_GE(timer.elapsed(), 290);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy[1][0].toBool(), false);
    const qsizetype queries = fake.queries.size();
    QTest::qWait(300);
    EXPECT_EQ(fake.queries.size(), queries) << "an inactive user sends nothing";

    user.setAutoDeactivationDelay(0);
    user.setActive(true);
    QTest::qWait(700);
    EXPECT_TRUE(user.isActive());
    user.setActive(false);
    EXPECT_FALSE(user.isActive());
}

TEST(DiscoveryLoopback, DefaultAutoDeactivationEndsTheSearchAfterAbout3500Ms)
{
    static constexpr int DefaultDelayMs = 3500;
    static constexpr int LateMs = 2000; // scheduling on a busy machine, not a tolerance of the delay
    TUDPAdUser user;
    FakeServer fake;
    aimAt(user, fake.port());
    QElapsedTimer timer;
    timer.start();
    user.setActive(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !user.isActive(); }, DefaultDelayMs + LateMs));
    EXPECT_GE(timer.elapsed(), DefaultDelayMs);
    EXPECT_FALSE(fake.queries.isEmpty());
}

TEST(DiscoveryLoopback, DeactivatedUserHandsNothingOver)
{
    FakeServer fake;
    fake.answers = {withCheck("PC,Iam", CheckValue("PC,Iam"))};
    TUDPAdUser user;
    aimAt(user, fake.port());
    Events events(user);
    user.setActive(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !events.received.isEmpty(); }, WaitMs));
    user.setActive(false);
    const qsizetype seen = events.received.size();
    QTest::qWait(300);
    EXPECT_EQ(events.received.size(), seen);
    EXPECT_EQ(user.advertisers().count(), 1) << "the list stays until the next activation";
}

TEST(DiscoveryLoopback, BindFailureIsLoggedAndKept)
{
    RunLog::clear();
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    socklen_t length = sizeof any;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&any), &length);

    TUDPAdvertiser advertiser;
    QSignalSpy errors(&advertiser, &TUDPAdvertiser::errorOccurred);
    advertiser.setPort(ntohs(any.sin_port));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.isEmpty(); }, WaitMs));
    const QString text = QStringLiteral("Failed to bind a socket, Error #10048");
    EXPECT_EQ(advertiser.errorString(), text);
    EXPECT_TRUE(RunLog::lines().last().endsWith(": " + text));
    EXPECT_TRUE(advertiser.isActive());
    ::close(holder);

    // a port change is a stop and a start: now it binds
    advertiser.setPort(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return advertiser.boundPort() != 0; }, WaitMs));
    advertiser.setActive(false);
    EXPECT_EQ(advertiser.boundPort(), 0);
}

TEST(DiscoveryLoopback, PortChangeMovesTheAnswers)
{
    TUDPAdvertiser advertiser;
    advertiser.setPort(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return advertiser.boundPort() != 0; }, WaitMs));
    const quint16 oldPort = quint16(advertiser.boundPort());
    advertiser.setPort(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return advertiser.boundPort() != 0; }, WaitMs));
    const quint16 newPort = quint16(advertiser.boundPort());
    QUdpSocket asker;
    ASSERT_TRUE(asker.bind(QHostAddress::LocalHost, 0));
    if (newPort != oldPort) {
        asker.writeDatagram("blah", QHostAddress::LocalHost, oldPort);
        QTest::qWait(100);
        EXPECT_FALSE(asker.hasPendingDatagrams());
    }
    asker.writeDatagram("blah", QHostAddress::LocalHost, newPort);
    EXPECT_TRUE(QTest::qWaitFor([&] { return asker.hasPendingDatagrams(); }, WaitMs));
}
