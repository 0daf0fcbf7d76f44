// Start and idle figures of the Student program, headless (offscreen), each against a baseline of
// the same run:
//  (a) process start until the main window is shown, against a bare Qt widgets program that shows
//      one window. Both say "main window shown" on their standard error on the pass of the event
//      loop after their main window's first paint (Student when VASTREL_START_MARK is set): a
//      window is shown once its first frame is drawn. The time is from the spawn to that line.
//      Student is started with "--server" at a loopback server of this bench, which answers its
//      "Iam" with "!CloseClient"; its splash stays on top of the shown window for 2000 ms on a
//      timer, and the close does not wait for it. The times to "Iam" and to the end of the process
//      are given too.
//  (b) CPU time of a waiting Student (discovery listener and timers on, no server) over 10 s.
#include "benchstats.h"
#include "connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 21; // start times of a few milliseconds scatter, and a busy machine more: the median of many
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

QProcessEnvironment marked()
{
    QProcessEnvironment env = headless();
    env.insert(QStringLiteral("VASTREL_START_MARK"), QStringLiteral("1"));
    return env;
}

// Milliseconds from the spawn to the line "main window shown" on the process's standard error, and
// to its end (-1 when either did not come).
struct StartTimes
{
    double shown = -1;
    double ended = -1;
};

StartTimes startAndWait(QProcess& p, const QString& program, const QStringList& args, QElapsedTimer& t)
{
    StartTimes times;
    QByteArray errors;
    QObject::connect(&p, &QProcess::readyReadStandardError, [&] {
        errors += p.readAllStandardError();
        if (times.shown < 0 && errors.contains("main window shown\n"))
            times.shown = double(t.nsecsElapsed()) / 1e6;
    });
    p.setProcessEnvironment(marked());
    t.start();
    p.start(program, args);
    if (!runUntil([&] { return p.state() == QProcess::NotRunning; }, 30000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    times.ended = double(t.nsecsElapsed()) / 1e6;
    return times;
}

StartTimes baselineRun()
{
    QProcess p;
    QElapsedTimer t;
    return startAndWait(p, binary("student_start_baseline"), {}, t);
}

// Also the milliseconds from the spawn of Student to its "Iam".
StartTimes studentRun(double* iamMs)
{
    CommandServer server;
    if (!server.listen(0))
        return {};
    {
        QFile ports(qEnvironmentVariable("VASTREL_HOME") + QStringLiteral("/Ports"));
        if (!ports.open(QIODevice::WriteOnly))
            return {};
        // A discovery port of its own: a server elsewhere on the machine must not find the waiting
        // Student of (b).
        QUdpSocket discovery;
        if (!discovery.bind(QHostAddress::Any, 0))
            return {};
        ports.write(QStringLiteral("[UDP]\r\nPort=%1\r\n[TCP]\r\nPort=%2\r\n")
                        .arg(discovery.localPort())
                        .arg(server.port())
                        .toLatin1());
    }
    *iamMs = -1;
    QElapsedTimer t;
    QObject::connect(&server, &CommandServer::clientConnected, [&](ServerConnection* c) {
        QObject::connect(c, &ServerConnection::messageReceived, [&, c](const Protocol::StudentMessage& m) {
            if (m.kind == Protocol::StudentMessage::Kind::Iam && *iamMs < 0) {
                *iamMs = double(t.nsecsElapsed()) / 1e6;
                c->send(Protocol::command(Protocol::Head::CloseClient));
            }
        });
    });
    QProcess p;
    return startAndWait(p, binary("Student"), {QStringLiteral("--server"), QStringLiteral("127.0.0.1")}, t);
}

// The time a process (all its threads) has run on a CPU in milliseconds, from the scheduler's
// account in /proc, in nanoseconds: the clock ticks of /proc/PID/stat are 10 ms, the whole target.
double cpuMs(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        return -1;
    double ns = 0;
    for (const QString& thread : threads) {
        QFile stat(tasks + u'/' + thread + QStringLiteral("/schedstat"));
        if (stat.open(QIODevice::ReadOnly))
            ns += stat.readAll().split(' ').value(0).toDouble();
    }
    return ns / 1e6;
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
    std::vector<double> bareShown, bareEnded, shown, iam, ended;
    for (int i = 0; i < Runs; ++i) {
        const StartTimes bare = baselineRun();
        bareShown.push_back(bare.shown);
        bareEnded.push_back(bare.ended);
        double toIam = -1;
        const StartTimes student = studentRun(&toIam);
        shown.push_back(student.shown);
        iam.push_back(toIam);
        ended.push_back(student.ended);
    }
    const double b = Median(bareShown), s = Median(shown);
    std::printf("(a) median of %d: bare Qt window shown after %.1f ms (ended %.1f ms); Student's main window shown "
                "after %.1f ms: ratio %.2f (target <= 2); its \"Iam\" after %.1f ms, ended on \"!CloseClient\" "
                "after %.0f ms\n",
                Runs, b, Median(bareEnded), s, s / b, Median(iam), Median(ended));
    const double idle = idleCpuMs();
    std::printf("(b) waiting Student, listener and timers on: %.2f ms CPU in %d s (target < 10)\n", idle,
                IdleMeasureMs / 1000);
    return 0;
}
