// Discovery across a real link: the server and the student in two network namespaces joined by a
// veth pair, the query sent to the limited broadcast address. Needs root and iproute2; skipped
// elsewhere. Only the namespaces made here (test addresses 10.251.0.x) ever see a datagram.
#include "udpaduser.h"
#include "udpadvertiser.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <unistd.h>

namespace {

constexpr int WaitMs = 10000;

bool ip(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ip"), args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Two namespaces and the link between them, removed when the object goes.
class NamespacePair
{
public:
    NamespacePair()
    {
        const QString id = QString::number(::getpid());
        server = QStringLiteral("vst-srv-") + id;
        student = QStringLiteral("vst-stu-") + id;
        const QString a = QStringLiteral("vsa") + id, b = QStringLiteral("vsb") + id;
        const QList<QStringList> steps = {
            {"netns", "add", server},
            {"netns", "add", student},
            {"link", "add", a, "type", "veth", "peer", "name", b},
            {"link", "set", a, "netns", server},
            {"link", "set", b, "netns", student},
            {"-n", server, "addr", "add", "10.251.0.1/24", "dev", a},
            {"-n", student, "addr", "add", "10.251.0.2/24", "dev", b},
            {"-n", server, "link", "set", a, "up"},
            {"-n", student, "link", "set", b, "up"},
            {"-n", server, "link", "set", "lo", "up"},
            {"-n", student, "link", "set", "lo", "up"},
            // the limited broadcast leaves by the default route
            {"-n", student, "route", "add", "default", "dev", b},
        };
        for (const QStringList& step : steps) {
            if (!ip(step)) {
                failedStep = step.join(u' ');
                return;
            }
        }
        ok = true;
    }
    ~NamespacePair()
    {
        ip({"netns", "del", server});
        ip({"netns", "del", student});
    }
    bool ok = false;
    QString failedStep;
    QString server;
    QString student;
};

// Moves the calling thread into a namespace; threads it starts afterwards are born there.
bool enter(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    return ok;
}

} // namespace

TEST(DiscoveryNetns, StudentFindsTheServerByBroadcastOverALink)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "network namespaces need root";
    if (QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty())
        GTEST_SKIP() << "ip (iproute2) is not installed";
    NamespacePair pair;
    if (!pair.ok)
        GTEST_SKIP() << "cannot make network namespaces here: ip " << pair.failedStep.toStdString();

    const int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(home, 0);
    // back home whatever happens below, before the namespaces are removed
    const std::unique_ptr<const int, void (*)(const int*)> goHome(&home, [](const int* fd) {
        ::setns(*fd, CLONE_NEWNET);
        ::close(*fd);
    });
    {
        TUDPAdvertiser advertiser;
        advertiser.setDefaultInfoString(QStringLiteral("IamVezuviroz"));
        ASSERT_TRUE(enter(QStringLiteral("/var/run/netns/") + pair.server));
        QCoreApplication::processEvents(); // the advertiser finishes loading and starts its worker here
        ASSERT_TRUE(QTest::qWaitFor([&] { return advertiser.boundPort() == TUDPAdvertiser::DefaultPort; }, WaitMs));
        ASSERT_TRUE(enter(QStringLiteral("/var/run/netns/") + pair.student));
        TUDPAdUser listener;
        listener.setBroadCastInterval(100);
        listener.setActive(true);
        QCoreApplication::processEvents(); // and the listener's worker here
        ASSERT_EQ(::setns(home, CLONE_NEWNET), 0);
        ASSERT_TRUE(listener.isActive());

        QStringList answer;
        QObject::connect(&listener, &TUDPAdUser::OnAdvertisementReceived,
                         [&](TUDPAdUser*, const QString& info, const QString& address, const QString&) {
                             answer = {info, address};
                         });
        ASSERT_TRUE(QTest::qWaitFor([&] { return !answer.isEmpty(); }, WaitMs));
        EXPECT_EQ(answer, (QStringList{"IamVezuviroz", "10.251.0.1"}));
        EXPECT_EQ(listener.advertisers().count(), 1);
    }
}
