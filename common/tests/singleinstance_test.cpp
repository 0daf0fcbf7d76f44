#include "singleinstance.h"
#include "socketerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

QString uniqueName()
{
    return QStringLiteral("Vastrel Test ") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// The socket address of a path, for the tests that play a crashed or a misbehaving instance.
sockaddr_un unixAddress(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), qMin(size_t(name.size()), sizeof address.sun_path - 1));
    return address;
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

// What a killed instance leaves behind: its socket file, bound and never removed, or (after a
// crash of the file system's owner) a plain file of that name.
TEST(SingleInstance, LeftOversOfACrashedInstanceAreTakenOver)
{
    for (const bool socketFile : {true, false}) {
        SCOPED_TRACE(socketFile ? "socket file" : "plain file");
        const QString name = uniqueName();
        SingleInstance probe(name);
        if (socketFile) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const sockaddr_un address = unixAddress(probe.socketName());
            ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
            ::close(fd); // never listened, never removed
        } else {
            QFile leftOver(probe.socketName());
            ASSERT_TRUE(leftOver.open(QIODevice::WriteOnly));
        }
        ASSERT_TRUE(QFile::exists(probe.socketName()));
        {
            SingleInstance fresh(name);
            EXPECT_TRUE(fresh.claim());
            SingleInstance second(name);
            EXPECT_FALSE(second.claim()); // the taken-over socket guards
        }
        EXPECT_FALSE(QFile::exists(probe.socketName())); // an orderly end leaves nothing behind
    }
    SingleInstance nobody(uniqueName());
    EXPECT_FALSE(nobody.handOver(QStringLiteral("x"), true, 300));
}

// A caller that sends no end of message, or more than a path, is dropped; the next one is heard.
TEST(SingleInstance, AnOverlongCallerIsDroppedAndTheNextHeard)
{
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.claim());
    QSignalSpy spy(&first, &SingleInstance::activated);
    bool delivered = false;
    bool droppedSeen = false;
    QThread* later = QThread::create([&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = unixAddress(first.socketName());
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const QByteArray flood(128 * 1024, 'x');
            qsizetype sent = 0;
            while (sent < flood.size()) {
                const ssize_t n = ::send(fd, flood.constData() + sent, size_t(flood.size() - sent), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += n;
            }
            char c;
            droppedSeen = ::recv(fd, &c, 1, 0) <= 0; // closed without an acknowledgement
        }
        ::close(fd);
        SingleInstance second(name);
        delivered = second.handOver(QStringLiteral("/tmp/b.vst4"), true);
    });
    later->start();
    ASSERT_TRUE(spy.wait(5000));
    later->wait();
    delete later;
    EXPECT_TRUE(droppedSeen);
    EXPECT_TRUE(delivered);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toString(), QStringLiteral("/tmp/b.vst4"));
}

// Where no socket can be made (its path is longer than a socket address holds), the program still
// starts, unguarded, instead of taking itself for a second start and ending.
TEST(SingleInstance, WithoutAPossibleSocketTheProgramRunsUnguarded)
{
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString runtime = base.filePath(QString(120, u'r'));
    ASSERT_TRUE(QDir().mkpath(runtime));
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    {
        const QString name = uniqueName();
        SingleInstance first(name);
        SingleInstance second(name);
        EXPECT_TRUE(first.claim());
        EXPECT_TRUE(second.claim());
        EXPECT_FALSE(second.handOver(QStringLiteral("x"), true, 300));
    }
    qputenv("XDG_RUNTIME_DIR", previous);
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
