// Classroom network figures, each against a baseline measured in the same run:
//  (a) a 2 MiB question set to 100 loopback clients: per-connection pauses against the same sends
//      one after another with a blocking 500 ms pause each, with the CPU time each side spent;
//  (b) 100 clients sending a "Report" every 10 ms for 10 s: messages handled per second and the
//      server thread's share of one CPU;
//  (c) CPU time of an idle advertiser and an idle listener over 10 s, against a 1 ms sleep-and-poll loop;
//  (d) how long a gap keeps two messages in reads of their own at a busy peer, against no gap;
//  (e) a long message taken in many small reads, against one read.
// The student ends run with bare sockets and the protocol code on threads of their own, one a core:
// in a classroom every student computer takes its set in on its own, and the server's thread must
// not have to share its core with them. Only the server side uses the run log (which belongs to
// one thread).
#include "connection.h"
#include "runlog.h"
#include "udpaduser.h"
#include "udpadvertiser.h"
#include "wireparser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Clients = 100;
constexpr qint64 SetBytes = 2 * 1024 * 1024;
constexpr int ReportEveryMs = 10;
constexpr int ReportSeconds = 10;
constexpr int IdleSeconds = 10;
constexpr int DrainLimitMs = 30000;

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Runs the event loop until the condition holds. The loop sleeps until something happens, as a
// program's own loop does; spinning instead would take a core from the student ends. The timer
// only wakes it to look at conditions that the other thread changes.
void runUntil(const std::function<bool()>& done)
{
    static constexpr int WakeMs = 2;
    QTimer wake;
    wake.start(WakeMs);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Student ends on one thread.
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
                    if (e.type == Protocol::StudentReceiver::Event::Type::QuestionSetComplete &&
                        e.bytes.size() == SetBytes)
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
    // The senders stop; what they have written still goes out.
    void stopReports()
    {
        delete m_timer;
        m_timer = nullptr;
        for (QTcpSocket* s : std::as_const(m_sockets))
            s->flush();
    }
    Q_INVOKABLE double threadCpu() const { return cpuSeconds(CLOCK_THREAD_CPUTIME_ID); }
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

// The student ends, spread over one thread a core.
class Farms
{
public:
    Farms() : m_count(qMax(1, QThread::idealThreadCount()))
    {
        for (int i = 0; i < m_count; ++i) {
            m_threads.push_back(std::make_unique<QThread>());
            m_farms.push_back(std::make_unique<Farm>());
            m_farms.back()->moveToThread(m_threads.back().get());
            m_threads.back()->start();
        }
    }
    ~Farms()
    {
        for (auto& t : m_threads) {
            t->quit();
            t->wait();
        }
    }
    int threads() const { return m_count; }
    void open(int clients, quint16 port)
    {
        for (int i = 0; i < m_count; ++i) {
            const int share = clients / m_count + (i < clients % m_count ? 1 : 0);
            QMetaObject::invokeMethod(m_farms[i].get(), "open", Qt::BlockingQueuedConnection, Q_ARG(int, share),
                                      Q_ARG(quint16, port));
        }
    }
    void call(const char* method)
    {
        for (auto& f : m_farms)
            QMetaObject::invokeMethod(f.get(), method, Qt::BlockingQueuedConnection);
    }
    double cpu()
    {
        double seconds = 0;
        for (auto& f : m_farms) {
            double one = 0;
            QMetaObject::invokeMethod(f.get(), "threadCpu", Qt::BlockingQueuedConnection, Q_RETURN_ARG(double, one));
            seconds += one;
        }
        return seconds;
    }
    int connected() const { return sum(&Farm::connected); }
    int completed() const { return sum(&Farm::completed); }
    qint64 reportsSent() const
    {
        qint64 n = 0;
        for (const auto& f : m_farms)
            n += f->reportsSent.load();
        return n;
    }

private:
    int sum(std::atomic<int> Farm::*counter) const
    {
        int n = 0;
        for (const auto& f : m_farms)
            n += ((*f).*counter).load();
        return n;
    }

    int m_count;
    std::vector<std::unique_ptr<QThread>> m_threads;
    std::vector<std::unique_ptr<Farm>> m_farms;
};

// Wall time and the CPU time of the server's thread and of the student ends' thread.
struct Span
{
    explicit Span(Farms& farms) : m_farms(farms), m_server0(cpuSeconds(CLOCK_THREAD_CPUTIME_ID)), m_farms0(farms.cpu())
    {
        m_timer.start();
    }
    void end()
    {
        wall = m_timer.elapsed() / 1000.0;
        serverCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - m_server0;
        studentsCpu = m_farms.cpu() - m_farms0;
    }
    double wall = 0;
    double serverCpu = 0;
    double studentsCpu = 0;

private:
    Farms& m_farms;
    QElapsedTimer m_timer;
    double m_server0;
    double m_farms0;
};

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

void benchHandOut(Farms& students, const QString& setPath)
{
    const QStringList settings{QStringLiteral("TimeLimit=-1"), QStringLiteral("MaxTime=20")};

    // per-connection pauses
    CommandServer server;
    server.listen(0);
    students.open(Clients, server.port());
    runUntil([&] { return server.connections().size() == Clients && students.connected() == Clients; });
    Span ours(students);
    for (ServerConnection* c : server.connections())
        c->sendQuestionSet(settings, setPath);
    runUntil([&] { return students.completed() == Clients; });
    ours.end();
    students.call("closeAll");
    server.close();

    // the sends one after another, each with its blocking pause
    QTcpServer plain;
    plain.listen(QHostAddress::AnyIPv4, 0);
    students.open(Clients, plain.serverPort());
    QList<QTcpSocket*> sockets;
    runUntil([&] {
        while (QTcpSocket* s = plain.nextPendingConnection())
            sockets += s;
        return sockets.size() == Clients && students.connected() == Clients;
    });
    // read once and held in memory: if anything, this spares the baseline some work
    QFile file(setPath);
    file.open(QIODevice::ReadOnly);
    const QByteArray set = file.readAll();
    Span serial(students);
    for (QTcpSocket* s : std::as_const(sockets)) {
        s->write(Protocol::settingsList(settings));
        s->flush(); // on the wire before the pause, as the protocol means it
        QThread::msleep(Protocol::PauseMs);
        s->write(Protocol::questionListHead(set.size()));
        s->write(set);
        QCoreApplication::processEvents();
    }
    runUntil([&] { return students.completed() == Clients; });
    serial.end();
    students.call("closeAll");
    qDeleteAll(sockets);

    std::printf("(a) 2 MiB question set to %d loopback clients (CPU: server thread, student ends' %d threads)\n",
                Clients, students.threads());
    std::printf("    per-connection pause : %8.3f s   CPU %.3f s, %.3f s\n", ours.wall, ours.serverCpu,
                ours.studentsCpu);
    std::printf("    serial blocking pause: %8.3f s   CPU %.3f s, %.3f s (measured, not computed)\n", serial.wall,
                serial.serverCpu, serial.studentsCpu);
    std::printf("    ratio                : %8.1f x faster (target >= 30)\n", serial.wall / ours.wall);
}

void benchReports(Farms& students)
{
    CommandServer server;
    server.listen(0);
    qint64 handled = 0;
    QObject::connect(&server, &CommandServer::clientConnected, [&](ServerConnection* c) {
        QObject::connect(c, &ServerConnection::messageReceived, [&](const Protocol::StudentMessage&) { ++handled; });
    });
    students.open(Clients, server.port());
    runUntil([&] { return server.connections().size() == Clients && students.connected() == Clients; });
    RunLog::clear();

    const double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer timer;
    timer.start();
    students.call("startReports");
    runUntil([&] { return timer.elapsed() >= ReportSeconds * 1000; });
    students.call("stopReports");
    const double wall = timer.elapsed() / 1000.0;
    const qint64 handledInTime = handled;
    // the reports still on their way are drained before anything is counted as lost
    const qint64 sent = students.reportsSent();
    QElapsedTimer drain;
    drain.start();
    runUntil([&] { return handled >= sent || drain.elapsed() >= DrainLimitMs; });
    const double drainWall = drain.elapsed() / 1000.0;
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    students.call("closeAll");
    std::printf("(b) %d clients, one \"Report\" every %d ms for %d s\n", Clients, ReportEveryMs, ReportSeconds);
    std::printf("    sent %lld, handled %lld in the %d s: %.0f messages/s\n", static_cast<long long>(sent),
                static_cast<long long>(handledInTime), ReportSeconds, handledInTime / wall);
    std::printf("    drained in %.3f s: handled %lld, lost = sent - handled = %lld (target 0)\n", drainWall,
                static_cast<long long>(handled), static_cast<long long>(sent - handled));
    std::printf("    server thread CPU: %.3f s of %.3f s wall = %.1f %% of one core\n", cpu, wall + drainWall,
                100.0 * cpu / (wall + drainWall));
    RunLog::clear();
}

// (d) Two messages written one after the other with a gap between them, to a peer that takes each
// read as one message. When the first arrives the peer's thread is busy for a while yet (a random
// part of B ms): its read then brings whatever has come meanwhile. A pair is merged when one read
// brings bytes of both. Bare loopback sockets with Nagle's algorithm off, as the connections send;
// the sender and the peer each have a thread of their own.
struct GapRun
{
    int merged = 0;
    std::vector<double> latencyMs; // the first message's write to the peer's read, peer not busy
};

GapRun runGap(int gapMs, int busyMs, int pairs)
{
    const QByteArray first = Protocol::yourFinalPointsAre(5);
    const QByteArray second = Protocol::command(Protocol::Head::NextStudent);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int sender = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int peer = ::accept(listener, nullptr, nullptr);
    const int on = 1;
    ::setsockopt(sender, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::rep> firstWritten{0};
    std::atomic<int> busyFor{-1}; // the pair the peer has begun to be busy before
    std::atomic<int> done{0};     // pairs read whole
    GapRun run;
    std::thread reader([&] {
        char buffer[4096];
        const qsizetype pairBytes = first.size() + second.size();
        for (int pair = 0; pair < pairs; ++pair) {
            busyFor = pair;
            std::this_thread::sleep_for(std::chrono::milliseconds(busyMs));
            for (qsizetype seen = 0; seen < pairBytes;) {
                const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
                if (n <= 0)
                    return;
                if (seen == 0 && busyMs == 0)
                    run.latencyMs.push_back(double(Clock::now().time_since_epoch().count() - firstWritten.load()) *
                                            Clock::period::num / Clock::period::den * 1000.0);
                if (seen < first.size() && seen + n > first.size())
                    ++run.merged; // this read brings bytes of both messages
                seen += n;
            }
            done = pair + 1;
        }
    });
    QRandomGenerator random(uint(gapMs * 100 + busyMs));
    for (int pair = 0; pair < pairs; ++pair) {
        while (busyFor.load() < pair)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        if (busyMs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(busyMs * 1000)));
        firstWritten = Clock::now().time_since_epoch().count();
        ::send(sender, first.constData(), size_t(first.size()), MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        ::send(sender, second.constData(), size_t(second.size()), MSG_NOSIGNAL);
        while (done.load() <= pair)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    reader.join();
    ::close(sender);
    ::close(peer);
    ::close(listener);
    return run;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[size_t(p * double(values.size() - 1))];
}

void benchGap()
{
    static constexpr int Pairs = 30;
    std::printf("(d) two messages with a gap, to a peer that takes each read as a message\n");
    std::printf("    merged pairs of %d (peer busy for a random part of 0 / 5 / 15 / 30 / 100 ms when the first "
                "arrives)\n",
                Pairs);
    GapRun idle;
    for (const int gap : {0, 1, 5, 20, int(ProtocolConnection::GapMs)}) {
        std::printf("    gap %3d ms%s:", gap, gap == ProtocolConnection::GapMs ? " (ours)" : "       ");
        for (const int busy : {0, 5, 15, 30, 100}) {
            GapRun run = runGap(gap, busy, Pairs);
            std::printf("  %3d", run.merged);
            if (gap == 0 && busy == 0)
                idle = std::move(run);
        }
        std::printf("\n");
    }
    std::printf("    write to read on loopback, peer free: median %.3f ms, 95th percentile %.3f ms, max %.3f ms\n",
                percentile(idle.latencyMs, 0.5), percentile(idle.latencyMs, 0.95), percentile(idle.latencyMs, 1.0));
}

// (e) A long message that trickles in: an 8 MiB "Report" in reads of 1 KiB against the same bytes
// in one read. The held part grows in place, so the trickle costs about what one read does.
void benchTrickle()
{
    static constexpr qsizetype MessageBytes = 8 * 1024 * 1024;
    static constexpr qsizetype ReadBytes = 1024;
    QByteArray message = Protocol::report({1, QString(), 1, 1});
    message.insert(message.size() - 1, QByteArray(MessageBytes - message.size(), 'a'));
    auto feedIn = [&](qsizetype readBytes) {
        Protocol::ServerReceiver receiver;
        QElapsedTimer timer;
        timer.start();
        qsizetype messages = 0;
        for (qsizetype pos = 0; pos < message.size(); pos += readBytes)
            messages +=
                receiver.feed(QByteArrayView(message).sliced(pos, qMin(readBytes, message.size() - pos))).size();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        return messages == 1 ? ms : -1.0;
    };
    const double whole = feedIn(message.size());
    const double trickled = feedIn(ReadBytes);
    std::printf("(e) an 8 MiB message in reads of 1 KiB against one read\n");
    std::printf("    one read %.1f ms, 8192 reads %.1f ms: %.1f x (target <= 3)\n", whole, trickled, trickled / whole);
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
    const double listenerCpu = idleProcessCpu(
        [&] {
            listener.setActive(true);
            QCoreApplication::processEvents();
        },
        [&] { listener.setActive(false); });

    std::atomic<bool> stop{false};
    std::thread baseline;
    const double baselineCpu = idleProcessCpu([&] { baseline = std::thread(sleepPollLoop, std::ref(stop)); },
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

// bench_network [PARTS]: all parts, or only those named by their letters ("de").
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray parts = argc > 1 ? QByteArray(argv[1]) : QByteArray("abcde");
    auto run = [&parts](char part, const std::function<void()>& bench) {
        if (parts.contains(part)) {
            bench();
            std::fflush(stdout);
        }
    };
    if (parts.contains('a') || parts.contains('b')) {
        QTemporaryDir dir;
        const QString setPath = writeSetFile(dir);
        Farms farms;
        run('a', [&] { benchHandOut(farms, setPath); });
        run('b', [&] { benchReports(farms); });
    }
    run('d', benchGap);
    run('e', benchTrickle);
    run('c', benchIdle);
    return 0;
}

#include "network_bench.moc"
