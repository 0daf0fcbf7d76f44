// Classroom network figures, each against a baseline measured in the same run:
//  (a) a 2 MiB question set to 100 loopback clients: per-connection pauses against the same sends
//      one after another with a blocking 500 ms pause each;
//  (b) 100 clients sending a "Report" every 10 ms for 10 s: messages handled per second and the
//      server thread's share of one CPU;
//  (c) CPU time of an idle advertiser and an idle listener over 10 s, against a 1 ms sleep-and-poll loop.
// The student ends run on a thread of their own with bare sockets and the protocol code, so that
// only the server side uses the run log (which belongs to one thread).
#include "connection.h"
#include "runlog.h"
#include "udpaduser.h"
#include "udpadvertiser.h"
#include "wireparser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Clients = 100;
constexpr qint64 SetBytes = 2 * 1024 * 1024;
constexpr int ReportEveryMs = 10;
constexpr int ReportSeconds = 10;
constexpr int IdleSeconds = 10;

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Runs the event loop until the condition holds.
void runUntil(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Student ends on their own thread.
class Farm : public QObject
{
    Q_OBJECT
public:
    std::atomic<int> connected{0};
    std::atomic<int> completed{0};
    std::atomic<qint64> reportsSent{0};

public Q_SLOTS:
    void open(int count, quint16 port)
    {
        for (int i = 0; i < count; ++i) {
            auto* s = new QTcpSocket(this);
            auto receiver = std::make_shared<Protocol::StudentReceiver>();
            connect(s, &QTcpSocket::connected, this, [this] { ++connected; });
            connect(s, &QTcpSocket::readyRead, this, [this, s, receiver] {
                for (const auto& e : receiver->feed(s->readAll())) {
                    if (e.type == Protocol::StudentReceiver::Event::Type::QuestionSetComplete && e.bytes.size() == SetBytes)
                        ++completed;
                }
            });
            s->connectToHost(QStringLiteral("127.0.0.1"), port);
            m_sockets += s;
        }
    }
    void startReports()
    {
        m_timer = new QTimer(this);
        connect(m_timer, &QTimer::timeout, this, [this] {
            const QByteArray report = Protocol::report({1, QStringLiteral("0;1"), 1, 600});
            for (QTcpSocket* s : std::as_const(m_sockets)) {
                s->write(report);
                ++reportsSent;
            }
        });
        m_timer->start(ReportEveryMs);
    }
    void closeAll()
    {
        delete m_timer;
        m_timer = nullptr;
        qDeleteAll(m_sockets);
        m_sockets.clear();
        connected = 0;
        completed = 0;
    }

private:
    QList<QTcpSocket*> m_sockets;
    QTimer* m_timer = nullptr;
};

void call(Farm& farm, const char* method)
{
    QMetaObject::invokeMethod(&farm, method, Qt::BlockingQueuedConnection);
}

void openFarm(Farm& farm, quint16 port)
{
    QMetaObject::invokeMethod(&farm, "open", Qt::BlockingQueuedConnection, Q_ARG(int, Clients), Q_ARG(quint16, port));
}

QString writeSetFile(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("QuestionList.cmpr"));
    QByteArray bytes(SetBytes, Qt::Uninitialized);
    for (qint64 i = 0; i < SetBytes; ++i)
        bytes[i] = char((i * 7919) >> 3);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

void benchHandOut(Farm& farm, const QString& setPath)
{
    const QStringList settings{QStringLiteral("TimeLimit=-1"), QStringLiteral("MaxTime=20")};

    // per-connection pauses
    CommandServer server;
    server.listen(0);
    openFarm(farm, server.port());
    runUntil([&] { return server.connections().size() == Clients && farm.connected == Clients; });
    QElapsedTimer timer;
    timer.start();
    for (ServerConnection* c : server.connections())
        c->sendQuestionSet(settings, setPath);
    runUntil([&] { return farm.completed == Clients; });
    const double ours = timer.elapsed() / 1000.0;
    call(farm, "closeAll");
    server.close();

    // the sends one after another, each with its blocking pause
    QTcpServer plain;
    plain.listen(QHostAddress::AnyIPv4, 0);
    openFarm(farm, plain.serverPort());
    QList<QTcpSocket*> sockets;
    runUntil([&] {
        while (QTcpSocket* s = plain.nextPendingConnection())
            sockets += s;
        return sockets.size() == Clients && farm.connected == Clients;
    });
    QFile file(setPath);
    file.open(QIODevice::ReadOnly);
    const QByteArray set = file.readAll();
    timer.restart();
    for (QTcpSocket* s : std::as_const(sockets)) {
        s->write(Protocol::settingsList(settings));
        QThread::msleep(Protocol::PauseMs);
        s->write(Protocol::questionListHead(set.size()));
        s->write(set);
        QCoreApplication::processEvents();
    }
    runUntil([&] { return farm.completed == Clients; });
    const double serial = timer.elapsed() / 1000.0;
    call(farm, "closeAll");
    qDeleteAll(sockets);

    std::printf("(a) 2 MiB question set to %d loopback clients\n", Clients);
    std::printf("    per-connection pause : %8.3f s\n", ours);
    std::printf("    serial blocking pause: %8.3f s (measured, not computed)\n", serial);
    std::printf("    ratio                : %8.1f x faster (target >= 30)\n", serial / ours);
}

void benchReports(Farm& farm)
{
    CommandServer server;
    server.listen(0);
    qint64 handled = 0;
    QObject::connect(&server, &CommandServer::clientConnected, [&](ServerConnection* c) {
        QObject::connect(c, &ServerConnection::messageReceived, [&](const Protocol::StudentMessage&) { ++handled; });
    });
    openFarm(farm, server.port());
    runUntil([&] { return server.connections().size() == Clients && farm.connected == Clients; });
    RunLog::clear();

    const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer timer;
    timer.start();
    call(farm, "startReports");
    runUntil([&] { return timer.elapsed() >= ReportSeconds * 1000; });
    call(farm, "closeAll");
    const double wall = timer.elapsed() / 1000.0;
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    std::printf("(b) %d clients, one \"Report\" every %d ms for %d s\n", Clients, ReportEveryMs, ReportSeconds);
    std::printf("    sent %lld, handled %lld: %.0f messages/s\n", static_cast<long long>(farm.reportsSent.load()),
                static_cast<long long>(handled), handled / wall);
    std::printf("    server thread CPU: %.3f s of %.3f s wall = %.1f %% of one core\n", cpu, wall, 100.0 * cpu / wall);
    RunLog::clear();
}

// The original's worker: a non-blocking receive, then 1 ms of sleep, over and over.
void sleepPollLoop(std::atomic<bool>& stop)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    char buffer[64];
    while (!stop) {
        if (::recv(fd, buffer, sizeof buffer, 0) < 0)
            ::usleep(1000);
    }
    ::close(fd);
}

double idleProcessCpu(const std::function<void()>& start, const std::function<void()>& stop)
{
    start();
    QThread::msleep(200); // let the worker settle
    const double cpu0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    QThread::sleep(IdleSeconds);
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    stop();
    return cpu;
}

void benchIdle()
{
    TUDPAdvertiser advertiser;
    advertiser.setActive(false);
    advertiser.setPort(0); // the system's choice; nobody asks
    QCoreApplication::processEvents();
    const double advertiserCpu = idleProcessCpu([] {}, [&] { advertiser.setActive(false); });

    TUDPAdUser listener;
    listener.setAutoDeactivationDelay(0);
    listener.setBroadcastAddress(QStringLiteral("127.0.0.1")); // a loopback port nobody answers on
    listener.setPort(9);
    const double listenerCpu = idleProcessCpu([&] { listener.setActive(true); QCoreApplication::processEvents(); },
                                              [&] { listener.setActive(false); });

    std::atomic<bool> stop{false};
    std::thread baseline;
    const double baselineCpu =
        idleProcessCpu([&] { baseline = std::thread(sleepPollLoop, std::ref(stop)); },
                       [&] {
                           stop = true;
                           baseline.join();
                       });
    std::printf("(c) idle for %d s, CPU time of the process\n", IdleSeconds);
    std::printf("    advertiser (poll with wake-up): %8.2f ms (target < 10 ms)\n", advertiserCpu * 1000);
    std::printf("    listener   (poll with wake-up): %8.2f ms (target < 10 ms)\n", listenerCpu * 1000);
    std::printf("    1 ms sleep-and-poll loop      : %8.2f ms, %.0f x the advertiser\n", baselineCpu * 1000,
                baselineCpu / qMax(advertiserCpu, 1e-6));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString setPath = writeSetFile(dir);

    QThread farmThread;
    Farm farm;
    farm.moveToThread(&farmThread);
    farmThread.start();

    benchHandOut(farm, setPath);
    std::fflush(stdout);
    benchReports(farm);
    std::fflush(stdout);
    farmThread.quit();
    farmThread.wait();
    benchIdle();
    return 0;
}

#include "network_bench.moc"
