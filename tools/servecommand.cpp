// vastrel serve: the testing server without a window, for labs without a display and for scripts.
#include "apperror.h"
#include "command.h"
#include "datamodules.h"
#include "dataset.h"
#include "ports.h"
#include "runlog.h"
#include "servertexts.h"
#include "storemodules.h"
#include "testingserver.h"
#include "topicstore.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void takeSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

struct ServeOptions
{
    QString topic;
    bool allowRequests = false;
    bool handOut = false;
};

bool parseOptions(const QStringList& args, ServeOptions* options, QString* problem)
{
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--topic") && i + 1 < args.size()) {
            options->topic = args[++i];
        } else if (args[i] == QLatin1String("--allow-requests")) {
            options->allowRequests = true;
        } else if (args[i] == QLatin1String("--hand-out")) {
            options->handOut = true;
        } else {
            *problem = QStringLiteral("unknown or incomplete option \"%1\"").arg(args[i]);
            return false;
        }
    }
    return true;
}

// The ports of the server's settings when both are set, otherwise those of the port file.
Ports serverPorts(Dataset& appSettings)
{
    Ports ports = ReadPorts();
    if (appSettings.isOpen() && !appSettings.isEmpty()) {
        appSettings.first();
        const int udp = appSettings.value(QStringLiteral("UDPPort")).toInt();
        const int tcp = appSettings.value(QStringLiteral("TCPPort")).toInt();
        if (udp != 0 && tcp != 0)
            ports = {udp, tcp};
    }
    return ports;
}

bool passedOnly(Dataset& appSettings)
{
    if (!appSettings.isOpen() || appSettings.isEmpty())
        return false;
    appSettings.first();
    return appSettings.value(QStringLiteral("PrePointsFromPassedOnly")).toBool();
}

// Hands out to every computer that identifies itself without a test; computers that come while
// a hand-out runs get theirs from the next one.
class HandOutOnArrival : public QObject
{
public:
    explicit HandOutOnArrival(TestingServer* server) : m_server(server)
    {
        connect(server, &TestingServer::computerRegistered, this, [this](const QString&, int topicId) {
            if (topicId == 0)
                request();
        });
        connect(server, &TestingServer::handOutFinished, this, [this] {
            if (m_again) {
                m_again = false;
                request();
            }
        });
    }

private:
    void request()
    {
        if (m_server->isHandingOut())
            m_again = true;
        else
            m_server->HandOutQuestions();
    }

    TestingServer* m_server;
    bool m_again = false;
};

int serve(const ServeOptions& options)
{
    RunLog::setObserver([](const QString& line) {
        const QByteArray bytes = line.toUtf8() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
    });
    LogBegin();
    StoreModules store(StoreProgram::Vezuviroz);
    TDM* dm = store.dm();
    TopicStore topics(store.shared());
    topics.PrepareStore();
    dm->OpenAllDatasets();
    TopicStore::WorkFolder();

    TestingServer server(dm, store.shared());
    const Ports ports = serverPorts(*dm->sqlAppSettings);
    server.setPrePointsFromPassedOnly(passedOnly(*dm->sqlAppSettings));
    LogText(QString::fromUtf8(ServerText::LogPorts).arg(ports.udp).arg(ports.tcp));
    if (!server.Start(ports.udp, ports.tcp)) {
        RunLog::finish(RunLog::filePathFor(QStringLiteral("Vezuviroz")));
        return fail(QStringLiteral("cannot listen on TCP port %1").arg(ports.tcp));
    }
    if (!options.topic.isEmpty()) {
        bool isId = false;
        const int id = options.topic.toInt(&isId);
        if (!(isId ? server.OpenTestTopic(id) : server.OpenTestTopic(options.topic))) {
            server.Stop(true);
            dm->sqlCurrentTesting->close(); // the works stay for the next start
            RunLog::finish(RunLog::filePathFor(QStringLiteral("Vezuviroz")));
            return fail(QStringLiteral("no topic \"%1\"").arg(options.topic));
        }
    }
    if (options.allowRequests)
        server.SetRequestMode(true);
    std::unique_ptr<HandOutOnArrival> handOut;
    if (options.handOut)
        handOut = std::make_unique<HandOutOnArrival>(&server);

    if (::pipe(g_signalPipe) != 0)
        return fail(QStringLiteral("cannot make the signal pipe"));
    QSocketNotifier stop(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    std::signal(SIGINT, takeSignal);
    std::signal(SIGTERM, takeSignal);

    QCoreApplication::exec();

    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    handOut.reset();
    server.Stop(true);
    // The rows that hold works stay in the table for the next start to give back to their
    // computers: closing the working table keeps the data module from emptying it.
    dm->sqlCurrentTesting->close();
    const bool written = RunLog::finish(RunLog::filePathFor(QStringLiteral("Vezuviroz")));
    RunLog::setObserver({});
    return written ? 0 : fail(QStringLiteral("cannot write the run log"));
}

int runServe(const QStringList& args)
{
    ServeOptions options;
    QString problem;
    if (!parseOptions(args, &options, &problem))
        return fail(problem);
    return serve(options);
}

const bool registered = registerCommand(
    {"serve", "serve [--topic ID|NAME] [--allow-requests] [--hand-out]",
     "runs the testing server without a window on the store of the program's folder, printing its run log; "
     "SIGINT or SIGTERM end it",
     runServe});

} // namespace
