#include "singleinstance.h"
#include "socketerror.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <gtest/gtest.h>
#include <vector>

namespace {

QString uniqueName()
{
    return QStringLiteral("Vastrel Test ") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

TEST(SingleInstance, SecondStartHandsItsArgumentToTheFirst)
{
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy spy(&first, &SingleInstance::activated);

    // The later start runs in another thread, as another process would, while this one serves.
    bool delivered = false;
    QThread* later = QThread::create([&] {
        SingleInstance second(name);
        delivered = second.handOver(QStringLiteral("/home/учитель/Дроби.vst4"), true);
    });
    later->start();
    ASSERT_TRUE(spy.wait(5000));
    later->wait();
    delete later;
    EXPECT_TRUE(delivered);
    EXPECT_EQ(spy[0][0].toString(), QStringLiteral("/home/учитель/Дроби.vst4"));
    EXPECT_TRUE(spy[0][1].toBool());
}

TEST(SingleInstance, SecondClaimFailsAndFrontOnlyRequestArrives)
{
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy spy(&first, &SingleInstance::activated);
    bool claimed = true;
    bool delivered = false;
    QThread* later = QThread::create([&] {
        SingleInstance second(name);
        claimed = second.claim();
        if (!claimed)
            delivered = second.handOver({}, false);
    });
    later->start();
    ASSERT_TRUE(spy.wait(5000));
    later->wait();
    delete later;
    EXPECT_FALSE(claimed);
    EXPECT_TRUE(delivered);
    EXPECT_FALSE(spy[0][1].toBool());
}

// The editor shows a handed-over path in a modal message box. While that box runs its own event
// loop, the later start ends and its connection goes away; the hand-over must not still be inside
// the code of the connection it arrived on.
TEST(SingleInstance, ReceiverMayRunAModalLoopWhileTheSenderGoesAway)
{
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    int modalLoops = 0;
    QObject::connect(&first, &SingleInstance::activated, [&] {
        ++modalLoops;
        QEventLoop modal;
        QTimer::singleShot(300, &modal, &QEventLoop::quit);
        modal.exec(); // long enough for the sender to end and its socket to be deleted
        // Fill the memory a deleted socket gave back with garbage, so that code still running on it
        // after this returns fails at once instead of reading stale but plausible values.
        std::vector<QByteArray> churn;
        for (int size = 16; size <= 4096; size += 8)
            for (int copies = 0; copies < 4; ++copies)
                churn.emplace_back(size, char(0xA5));
    });
    QSignalSpy spy(&first, &SingleInstance::activated);
    QThread* later = QThread::create([&] {
        SingleInstance second(name);
        second.handOver(QStringLiteral("/tmp/a.vst4"), true);
    });
    later->start();
    ASSERT_TRUE(spy.wait(5000));
    later->wait();
    delete later;
    QTest::qWait(400); // the modal loop has ended and control is back in this loop
    EXPECT_EQ(modalLoops, 1);
}

TEST(SingleInstance, StaleSocketOfACrashedInstanceIsTakenOver)
{
    const QString name = uniqueName();
    SingleInstance probe(name);
    {
        // A socket file that nobody listens on any more.
        QLocalServer crashed;
        ASSERT_TRUE(crashed.listen(probe.socketName()));
    }
    QFile leftOver(probe.socketName()); // what a killed instance leaves behind
    ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
    leftOver.close();
    SingleInstance fresh(name);
    EXPECT_TRUE(fresh.claim());
    SingleInstance nobody(uniqueName());
    EXPECT_FALSE(nobody.handOver(QStringLiteral("x"), true, 300));
}

TEST(SocketErrorText, SystemTextsTrimmed)
{
    EXPECT_EQ(SocketErrorText(10061), QStringLiteral("No connection could be made because the target machine "
                                                     "actively refused it"));
    EXPECT_EQ(SocketErrorText(10054), QStringLiteral("An existing connection was forcibly closed by the remote host"));
    EXPECT_TRUE(SocketErrorText(99999).isEmpty());
    const QString local = SocketErrorText(2); // a local system error number
    EXPECT_FALSE(local.isEmpty());
    EXPECT_FALSE(local.endsWith(u'.'));
    EXPECT_EQ(WsaErrorCode(QAbstractSocket::ConnectionRefusedError), 10061);
    for (int code : {10004, 10040, 10060, 11002})
        EXPECT_LE(SocketErrorText(code).size(), 255);
}
