// The teacher's window while a class reports: 100 computers, simulated in a process of their own,
// each sending a report every 100 ms. The figure is the worst delay of the event loop seen while
// they report (a 5 ms probe timer that comes late), with the main window shown and its monitor
// following every row, against the same run with the server alone and no window.
#include "benchstats.h"
#include "connection.h"
#include "dataset.h"
#include "messages.h"
#include "ports.h"
#include "serverbank.h"
#include "testingserver.h"
#include "vezuvirozmodules.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

constexpr int Computers = 100;
constexpr int Questions = 30;
constexpr int ReportEveryMs = 100;
constexpr int ProbeEveryMs = 5;
constexpr int MeasureMs = 6000;
constexpr int WaitLimitMs = 60000;
constexpr int Rounds = 3;

// --- the computers' process ---

// One computer: identifies itself, takes its set, sends its route, then a report every 100 ms
// on the next question, round and round, with its time running down.
class Computer : public QObject
{
public:
    Computer(int index, quint16 port, const QList<int>& ids) : m_ids(ids)
    {
        m_link.socket()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(index + 2)));
        connect(&m_link, &StudentConnection::connected, this,
                [this, index] { m_link.sendIam(0, QStringLiteral("PC-%1").arg(index, 3, 10, QLatin1Char('0'))); });
        connect(&m_link, &StudentConnection::questionSetReceived, this, [this] {
            QStringList route;
            for (int id : m_ids)
                route << QString::number(id);
            m_link.sendRout(int(m_ids.size()), route);
            // the sets come one after the other, so the computers do not report in step
            m_timer.start(ReportEveryMs);
        });
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const int id = m_ids[m_sent % m_ids.size()];
            ++m_sent;
            // the shown count goes on growing, so that the server's rows count every report taken
            m_link.sendReport(
                {id, m_sent % 3 == 0 ? QStringLiteral("2") : QStringLiteral("1"), m_sent, qMax(0, 1200 - m_sent / 10)});
        });
        m_link.connectToServer(QStringLiteral("127.0.0.1"), port);
    }

private:
    StudentConnection m_link;
    QList<int> m_ids;
    QTimer m_timer;
    int m_sent = 0;
};

int runComputers(quint16 port, const QList<int>& ids)
{
    std::vector<std::unique_ptr<Computer>> computers;
    for (int i = 0; i < Computers; ++i)
        computers.push_back(std::make_unique<Computer>(i, port, ids));
    return QCoreApplication::exec(); // ends when the server's side kills it
}

// --- the teacher's process ---

struct Run
{
    double worstMs = 0;
    double meanMs = 0;
    int reports = 0;
    bool ok = false;
};

int passedSum(const Dataset& rows)
{
    int sum = 0;
    const int column = rows.fieldIndex(QStringLiteral("AlreadyPassedCount"));
    for (int i = 0; i < rows.recordCount(); ++i)
        sum += rows.rowValues(i)[column].toInt();
    return sum;
}

// A fresh program folder with a bank of one topic; the QueIDs of the topic.
QList<int> makeBank(const QString& home)
{
    qputenv("VASTREL_HOME", home.toLocal8Bit());
    WritePorts(home, -1, 0);
    ServerBank bank;
    const int topic = bank.addTopic(QStringLiteral("Bench"));
    QList<int> ids;
    for (int i = 0; i < Questions; ++i)
        ids.append(bank.addChoice(topic, QStringLiteral("Question %1").arg(i + 1)));
    bank.setSettings(topic, [](TestSettings& s) {
        s.RandomOrder = false;
        s.GiveMaxCount = Questions;
    });
    ids.prepend(topic);
    return ids;
}

Run measure(TestingServer& server, TDM& dm, int topic, const QList<int>& ids)
{
    Run run;
    if (!server.OpenTestTopic(topic))
        return run;
    QStringList idTexts;
    for (int id : ids)
        idTexts << QString::number(id);
    QProcess computers;
    computers.setProcessChannelMode(QProcess::ForwardedChannels);
    computers.start(QCoreApplication::applicationFilePath(),
                    {"--computers", QString::number(server.tcpPort()), idTexts.join(u',')});
    const bool registered =
        QTest::qWaitFor([&] { return server.connectionCount() == Computers; }, WaitLimitMs) &&
        QTest::qWaitFor([&] { return dm.sqlCurrentTesting->recordCount() == Computers; }, WaitLimitMs);
    bool handedOut = false;
    QObject::connect(&server, &TestingServer::handOutFinished, [&] { handedOut = true; });
    if (registered)
        server.HandOutQuestions();
    if (!registered || !QTest::qWaitFor([&] { return handedOut; }, WaitLimitMs)) {
        std::printf("  the computers did not all come (%d connected)\n", server.connectionCount());
        computers.kill();
        computers.waitForFinished();
        return run;
    }
    // every computer reports before the measure starts
    QTest::qWait(1500);

    const int passedBefore = passedSum(*dm.sqlCurrentTesting);
    QElapsedTimer clock, total;
    QTimer probe;
    double worst = 0, sum = 0;
    int ticks = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double late = double(clock.nsecsElapsed()) / 1e6 - ProbeEveryMs;
        clock.restart();
        worst = qMax(worst, late);
        sum += qMax(0.0, late);
        ++ticks;
    });
    probe.setTimerType(Qt::PreciseTimer);
    clock.start();
    total.start();
    probe.start(ProbeEveryMs);
    QTimer end;
    end.setSingleShot(true);
    bool over = false;
    QObject::connect(&end, &QTimer::timeout, [&] { over = true; });
    end.start(MeasureMs);
    // the loop itself runs as the program's does: no work of the measure's own in between
    QEventLoop loop;
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    loop.exec();
    probe.stop();
    run.worstMs = worst;
    run.meanMs = ticks ? sum / ticks : 0;
    run.reports = passedSum(*dm.sqlCurrentTesting) - passedBefore;
    run.ok = true;
    computers.kill();
    computers.waitForFinished();
    return run;
}

Run withoutWindow(const QString& home)
{
    const QList<int> bank = makeBank(home);
    ServerBank store;
    TestingServer server(&store.dm, &store.shared);
    if (!server.Start(-1, 0))
        return {};
    Run run = measure(server, store.dm, bank[0], bank.mid(1));
    server.Stop(false);
    return run;
}

Run withWindow(const QString& home)
{
    const QList<int> bank = makeBank(home);
    VezuvirozModules modules;
    TVezuvirozF* window = modules.window();
    window->resize(1000, 700);
    window->show();
    Run run = measure(*window->server(), *modules.store().dm(), bank[0], bank.mid(1));
    window->server()->Stop(false);
    window->hide();
    return run;
}

void print(const char* name, const Run& run)
{
    std::printf("  %-28s worst %7.2f ms   mean lateness %6.3f ms   reports taken in %d\n", name, run.worstMs,
                run.meanMs, run.reports);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageHandler([](const QString&, MsgIcon, MsgButtons) { return MsgResult::Yes; });
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QStringLiteral("--computers")) {
        QList<int> ids;
        for (const QString& id : args[3].split(u','))
            ids.append(id.toInt());
        return runComputers(quint16(args[2].toInt()), ids);
    }
    QTemporaryDir work;
    std::printf("%d computers, a report from each every %d ms, event loop probed every %d ms for %d ms, %d rounds\n",
                Computers, ReportEveryMs, ProbeEveryMs, MeasureMs, Rounds);
    std::vector<double> bareWorst, shownWorst;
    for (int round = 0; round < Rounds; ++round) {
        const Run bare = withoutWindow(work.filePath(QStringLiteral("bare%1").arg(round)));
        print("server alone (baseline):", bare);
        const Run shown = withWindow(work.filePath(QStringLiteral("window%1").arg(round)));
        print("server with the window:", shown);
        if (!bare.ok || !shown.ok)
            return 1;
        bareWorst.push_back(bare.worstMs);
        shownWorst.push_back(shown.worstMs);
    }
    const double bare = Median(bareWorst), shown = Median(shownWorst);
    std::printf("median of the rounds' worst latency: with the window %.2f ms (target < 50 ms), server alone %.2f ms; "
                "ratio %.2f (target <= 2)\n",
                shown, bare, bare > 0 ? shown / bare : 0.0);
    return 0;
}
