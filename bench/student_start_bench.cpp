// Start and idle figures of the Student program, headless (offscreen), each against a baseline of
// the same run:
//  (a) process start until the main window is shown, against a bare Qt widgets program that shows
//      one window and ends at its next step. Student is started with "--server" at a loopback
//      server of this bench, which answers its "Iam" with "!CloseClient". Student shows its main
//      window as soon as it is made (its splash box stays on top of it for 2000 ms, on a timer) and
//      only then connects, so its end after the close is an upper bound of "shown": it adds the
//      connection, one message each way, the close and the run log. The time to "Iam" is given too.
//  (b) CPU time of a waiting Student (discovery listener and timers on, no server) over 10 s.
#include "benchstats.h"
#include "connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Runs = 5;
constexpr int SplashWaitMs = 2000; // the splash stands this long, over the shown window
constexpr int IdleSettleMs = 3000;
constexpr int IdleMeasureMs = 10000;

QString binary(const char* name)
{
    const QString folder = qEnvironmentVariable("VASTREL_BIN", QCoreApplication::applicationDirPath());
    return folder + u'/' + QString::fromLatin1(name);
}

QProcessEnvironment headless()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// Runs the event loop of this bench until the condition holds or the time is up.
bool runUntil(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// Milliseconds from the spawn to the end of a process that ends by itself once its window shows.
double baselineRun()
{
    QProcess p;
    p.setProcessEnvironment(headless());
    QElapsedTimer t;
    t.start();
    p.start(binary("student_start_baseline"), {});
    if (!p.waitForFinished(30000))
        return -1;
    return double(t.nsecsElapsed()) / 1e6;
}

// Milliseconds from the spawn of Student to its "Iam" and to its end after the window showed.
std::pair<double, double> studentRun()
{
    CommandServer server;
    if (!server.listen(0))
        return {-1, -1};
    {
        QFile ports(qEnvironmentVariable("VASTREL_HOME") + QStringLiteral("/Ports"));
        if (!ports.open(QIODevice::WriteOnly))
            return {-1, -1};
        ports.write(QStringLiteral("[UDP]\r\nPort=9000\r\n[TCP]\r\nPort=%1\r\n").arg(server.port()).toLatin1());
    }
    double iamMs = -1;
    QElapsedTimer t;
    QObject::connect(&server, &CommandServer::clientConnected, [&](ServerConnection* c) {
        QObject::connect(c, &ServerConnection::messageReceived, [&, c](const Protocol::StudentMessage& m) {
            if (m.kind == Protocol::StudentMessage::Kind::Iam && iamMs < 0) {
                iamMs = double(t.nsecsElapsed()) / 1e6;
                c->send(Protocol::command(Protocol::Head::CloseClient));
            }
        });
    });
    QProcess p;
    p.setProcessEnvironment(headless());
    t.start();
    p.start(binary("Student"), {QStringLiteral("--server"), QStringLiteral("127.0.0.1")});
    if (!runUntil([&] { return p.state() == QProcess::NotRunning; }, 30000)) {
        p.kill();
        p.waitForFinished();
        return {-1, -1};
    }
    return {iamMs, double(t.nsecsElapsed()) / 1e6};
}

// User and system CPU time of a process in milliseconds, from /proc.
double cpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // After the name: state is field 3, utime 14, stime 15 (1-based over the whole line).
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double idleCpuMs()
{
    QProcess p;
    p.setProcessEnvironment(headless());
    p.start(binary("Student"), {});
    if (!p.waitForStarted(10000))
        return -1;
    runUntil([] { return false; }, SplashWaitMs + IdleSettleMs);
    const double before = cpuMs(p.processId());
    runUntil([] { return false; }, IdleMeasureMs);
    const double after = cpuMs(p.processId());
    p.terminate();
    if (!p.waitForFinished(10000))
        p.kill();
    return after - before;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<double> bare, iam, shown;
    for (int i = 0; i < Runs; ++i) {
        bare.push_back(baselineRun());
        const auto [toIam, toEnd] = studentRun();
        iam.push_back(toIam);
        shown.push_back(toEnd);
    }
    const double b = Median(bare), s = Median(shown), i = Median(iam);
    std::printf("(a) median of %d: bare Qt window shown and ended after %.0f ms; Student identified (\"Iam\") "
                "after %.0f ms, its window shown and the process ended after %.0f ms: ratio %.2f (target <= 2)\n",
                Runs, b, i, s, s / b);
    const double idle = idleCpuMs();
    std::printf("(b) waiting Student, listener and timers on: %.0f ms CPU in %d s (clock tick %ld ms)\n", idle,
                IdleMeasureMs / 1000, 1000 / sysconf(_SC_CLK_TCK));
    return 0;
}
