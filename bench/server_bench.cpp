// The testing server under a class of 100 computers, simulated in a process of their own: each
// identifies itself, takes a 200-question set with pictures drawn at random for it, sends its
// route, 200 reports and its final report. Figures, each against a baseline of the same run:
//  (a) the hand-out to all 100 against streaming one prepared package to each of them;
//  (b) the server's CPU time for the route and report messages against a loop that only parses
//      the same messages and grades them in memory.
// Also checked: every report graded and every final report answered; none lost.
#include "adtg.h"
#include "archive.h"
#include "connection.h"
#include "dataset.h"
#include "datasettable.h"
#include "listlines.h"
#include "markscale.h"
#include "questiondraw.h"
#include "runlog.h"
#include "serverbank.h"
#include "testingserver.h"
#include "topicstore.h"
#include "valuation.h"
#include "wireparser.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace {

constexpr int Computers = 100;
constexpr int Questions = 200;
constexpr int PictureBytes = 6000;

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

QString addressOf(int i)
{
    return QStringLiteral("127.0.0.%1").arg(i + 2);
}

// The answer each simulated student gives to a question: right for two of three.
QString answerFor(int queId)
{
    return queId % 3 == 0 ? QStringLiteral("2") : QStringLiteral("1");
}

// The messages one computer sends for its set, as bytes.
struct Script
{
    QByteArray route;
    QList<QByteArray> reports;
    QByteArray finish;
};

Script scriptFor(const QList<int>& ids)
{
    Script s;
    QStringList route, results;
    for (int id : ids) {
        route << QString::number(id);
        results << QString::number(id) + u'=' + answerFor(id);
    }
    s.route = Protocol::rout(int(ids.size()), route);
    for (int k = 0; k < ids.size(); ++k)
        s.reports << Protocol::report({ids[k], answerFor(ids[k]), k + 1, 1000 - k});
    s.finish = Protocol::finishReport(results);
    return s;
}

// --- the computers' process ---

// What the computers share: they send their reports once all of them have their sets, so that
// the server's hand-out and its report handling are measured apart.
struct Class
{
    int setsSeen = 0;
    int tested = 0;
    int done = 0;
    std::function<void()> allHaveSets;
};

class Computer : public QObject
{
public:
    Computer(int index, quint16 port, Class* shared) : m_class(shared)
    {
        m_link.socket()->bind(QHostAddress(addressOf(index)));
        connect(&m_link, &StudentConnection::connected, this,
                [this, index] { m_link.sendIam(0, QStringLiteral("PC-%1").arg(index)); });
        connect(&m_link, &StudentConnection::questionSetReceived, this, [this](const QByteArray& bytes) {
            ++m_class->setsSeen;
            // every set is taken in as Student takes it, the prepared package too
            const QList<int> ids = takeIn(bytes);
            if (++m_sets == 1) {
                m_link.send(Protocol::command(Protocol::Head::NoopEcho)); // the prepared package came
                return;
            }
            takeTest(ids);
        });
        connect(&m_link, &StudentConnection::messageReceived, this, [this](const Protocol::ServerMessage& m) {
            if (m.kind == Protocol::ServerMessage::Kind::YourPrePointsAre)
                ++m_class->done;
        });
        m_link.connectToServer(QStringLiteral("127.0.0.1"), port);
    }

private:
    QList<int> takeIn(const QByteArray& bytes)
    {
        const QString folder = QStringLiteral("%1/c%2").arg(TopicStore::WorkFolder()).arg(quintptr(this));
        QDir().mkpath(folder);
        QFile f(folder + QStringLiteral("/set.cmpr"));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        TZLibCompression().DecompressFiles(f.fileName(), folder);
        const QList<int> ids = QuestionDraw::QueIds(ReadAdtgFile(folder + QStringLiteral("/QuestionList.ADTG")));
        QDir(folder).removeRecursively();
        return ids;
    }

    void takeTest(const QList<int>& ids)
    {
        m_script = scriptFor(ids);
        m_link.send(m_script.route);
        m_link.pause();
        if (++m_class->tested == Computers)
            m_class->allHaveSets();
    }

public:
    void sendReports()
    {
        for (const QByteArray& r : m_script.reports)
            m_link.send(r);
        m_link.pause();
        m_link.send(m_script.finish);
    }

private:
    StudentConnection m_link;
    Class* m_class;
    int m_sets = 0;
    Script m_script;
};

int runComputers(quint16 port)
{
    Class shared;
    std::vector<std::unique_ptr<Computer>> computers;
    // a second's gap lets the last routes reach the server before the first report does
    shared.allHaveSets = [&] {
        QTimer::singleShot(1000, [&] {
            for (auto& c : computers)
                c->sendReports();
        });
    };
    for (int i = 0; i < Computers; ++i)
        computers.push_back(std::make_unique<Computer>(i, port, &shared));
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (shared.done == Computers)
            QCoreApplication::quit();
    });
    check.start(20);
    QCoreApplication::exec();
    std::printf("computers: %d sets taken in, %d final answers\n", shared.setsSeen, shared.done);
    return shared.done == Computers ? 0 : 1;
}

// --- the server's process ---

// The baseline: the same route and report messages parsed and graded in memory.
double baselineCpu(const Table& topic, const QHash<QString, QList<int>>& sets, const QString& criteria,
                   QHash<QString, double>* percents)
{
    const QuestionSet graded(topic);
    const double start = cpuSeconds();
    for (auto it = sets.begin(); it != sets.end(); ++it) {
        const Script s = scriptFor(it.value());
        Protocol::ServerReceiver receiver;
        QStringList results;
        for (const auto& e : receiver.feed(s.route))
            for (const QString& line : e.message.lines)
                results << (line.contains(u'=') ? line : line + QStringLiteral("=0"));
        for (const QByteArray& r : s.reports) {
            for (const auto& e : receiver.feed(r)) {
                const QString key = QString::number(e.message.report.queId);
                for (QString& line : results)
                    if (line.section(u'=', 0, 0) == key)
                        line = key + u'=' + e.message.report.sRslt;
                const GradeTotal t =
                    ValuateAnswerList(graded, JoinListLines(results), true, nullptr, -e.message.report.shownCount);
                MarkFromPercent(criteria, t.percent);
            }
        }
        for (const auto& e : receiver.feed(s.finish)) {
            QStringList details;
            const GradeTotal t =
                ValuateAnswerList(graded, JoinListLines(e.message.lines), true, &details, int(e.message.lines.size()));
            MarkFromPercent(criteria, t.percent);
            percents->insert(it.key(), t.percent.toDouble());
        }
    }
    return cpuSeconds() - start;
}

int runServer()
{
    ServerBank bank;
    const int topic = bank.addTopic(QStringLiteral("Bench"));
    for (int i = 0; i < Questions; ++i)
        bank.addChoice(topic, QStringLiteral("Question %1").arg(i + 1), 1, 1 + i % 3, SamplePicture(PictureBytes, i));
    bank.setSettings(topic, [](TestSettings& s) {
        s.RandomOrder = true;
        s.GiveMaxCount = Questions;
    });
    TestingServer server(&bank.dm, &bank.shared);
    if (!server.Start(-1, 0) || !server.OpenTestTopic(topic))
        return 1;

    QElapsedTimer total;
    total.start();
    const double cpuAtStart = cpuSeconds();
    QProcess computers;
    computers.setProcessChannelMode(QProcess::ForwardedChannels);
    computers.start(QCoreApplication::applicationFilePath(), {"--computers", QString::number(server.tcpPort())});

    enum class Stage
    {
        Registering,
        Baseline,
        HandOut,
        Reports,
        Done
    } stage = Stage::Registering;
    int echoes = 0, routs = 0, finished = 0;
    QElapsedTimer stageTimer;
    double baselineStreamMs = 0, handOutMs = 0, reportsCpuStart = 0, reportsCpu = 0;
    QString prepared;
    const QString settingsText = bank.shared.settings().BuildSettingsList(topic, bank.dm.sqlAppSettings);

    QObject::connect(&server, &TestingServer::computerRegistered, [&] {
        if (stage != Stage::Registering || bank.dm.sqlCurrentTesting->recordCount() < Computers)
            return;
        // (a) the baseline: one prepared package streamed to every computer
        stage = Stage::Baseline;
        Table topicTable = DatasetToTable(*bank.dm.sqlQuestions);
        prepared = QDir(TopicStore::WorkFolder()).filePath(QStringLiteral("prepared.cmpr"));
        QuestionDraw::PackSet(topicTable, TopicStore::WorkFolder(), prepared);
        stageTimer.start();
        for (ServerConnection* c : server.findChildren<ServerConnection*>())
            c->sendQuestionSet(SplitListLines(settingsText), prepared);
    });
    QObject::connect(&server, &TestingServer::echoCountChanged, [&](int n) {
        echoes = n;
        if (stage != Stage::Baseline || echoes < Computers)
            return;
        baselineStreamMs = double(stageTimer.nsecsElapsed()) / 1e6;
        stage = Stage::HandOut;
        stageTimer.start();
        server.HandOutQuestions();
    });
    // every "Rout" passes through the log; the hand-out ends when the last computer has its set
    RunLog::setObserver([&](const QString& line) {
        if (stage == Stage::HandOut && line.contains(QStringLiteral("In: \"Rout|"))) {
            if (++routs == Computers) {
                handOutMs = double(stageTimer.nsecsElapsed()) / 1e6;
                stage = Stage::Reports;
                reportsCpuStart = cpuSeconds();
            }
        }
    });
    QObject::connect(&server, &TestingServer::workFinished, [&] {
        if (++finished == Computers) {
            reportsCpu = cpuSeconds() - reportsCpuStart;
            stage = Stage::Done;
        }
    });
    QObject::connect(&computers, &QProcess::finished, qApp, &QCoreApplication::quit);
    QTimer::singleShot(600000, qApp, &QCoreApplication::quit); // a bound, never reached when all goes well
    QCoreApplication::exec();
    RunLog::setObserver({});
    const double totalMs = double(total.nsecsElapsed()) / 1e6;
    const double serverCpu = cpuSeconds() - cpuAtStart;

    // checks: every computer's work arrived whole and graded as the baseline grades it
    QHash<QString, QList<int>> sets;
    for (int i = 0; i < Computers; ++i)
        sets.insert(addressOf(i), server.handedOut(addressOf(i)));
    QHash<QString, double> expected;
    const QString criteria = bank.firstValue(QStringLiteral("SELECT * FROM CurrentTesting"), "CriteriaList").toString();
    const double baseCpu = baselineCpu(DatasetToTable(*bank.dm.sqlQuestions), sets, criteria, &expected);
    int whole = 0;
    Dataset& rows = *bank.dm.sqlCurrentTesting;
    rows.requery();
    for (rows.first(); !rows.eof(); rows.next()) {
        const QString a = rows.value("IP").toString();
        if (rows.value("Ready").toBool() && rows.value("AlreadyPassedCount").toInt() == Questions &&
            SplitListLines(rows.value("Results").toString()).size() == Questions &&
            qAbs(rows.value("RightsPercent").toDouble() - expected.value(a, -1)) < 1e-9)
            ++whole;
    }

    std::printf("server_bench: %d computers, %d questions each with a %d-byte picture, random order\n", Computers,
                Questions, PictureBytes);
    std::printf("  works whole and graded as the baseline: %d of %d; final answers: %d\n", whole, Computers, finished);
    std::printf("  total time %.0f ms; server CPU %.2f s\n", totalMs, serverCpu);
    std::printf("  (a) hand-out %.0f ms against %.0f ms streaming one prepared package to each: ratio %.2f "
                "(target <= 2)\n",
                handOutMs, baselineStreamMs, baselineStreamMs > 0 ? handOutMs / baselineStreamMs : 0.0);
    std::printf("  (b) route and reports: server CPU %.3f s against %.3f s parsing and grading in memory: "
                "ratio %.2f (target <= 3)\n",
                reportsCpu, baseCpu, baseCpu > 0 ? reportsCpu / baseCpu : 0.0);
    server.Stop(false);
    return whole == Computers ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--computers")
        return runComputers(quint16(QByteArray(argv[2]).toInt()));
    return runServer();
}
