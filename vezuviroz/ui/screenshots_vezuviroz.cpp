// Draws Vezuviroz's windows from sample data into PNG files in the folder given as the argument:
// the main window during a test, its monitor holding a computer in every state, and the general
// settings. The computers are student connections of this process on loopback.
#include "connection.h"
#include "datamodules.h"
#include "dataset.h"
#include "generalsettingsf.h"
#include "messages.h"
#include "monitormodel.h"
#include "ports.h"
#include "serverbank.h"
#include "testingserver.h"
#include "vezuvirozmodules.h"

#include <QApplication>
#include <QDir>
#include <QHostAddress>
#include <QSpinBox>
#include <QTableView>
#include <QTcpSocket>
#include <QTest>
#include <QToolButton>
#include <cstdio>

namespace {

constexpr int WaitMs = 20000;

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

bool save(QWidget* window, const QString& folder, const char* name)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

struct Computer
{
    explicit Computer(int n, quint16 port, const QString& name)
    {
        link.socket()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(n)));
        QObject::connect(&link, &StudentConnection::connected, &link, [this, name] { link.sendIam(0, name); });
        link.connectToServer(QStringLiteral("127.0.0.1"), port);
    }
    StudentConnection link;
};

// The class: topic, questions and students, made before the program starts.
struct Sample
{
    int topic = 0;
    QList<int> questions;
    QList<int> students;
};

Sample fillBank()
{
    Sample s;
    ServerBank bank;
    s.topic = bank.addTopic(u("Алгебра, 7 класс"));
    s.questions.append(bank.addMatching(s.topic, u("Сопоставьте выражения и их значения"),
                                        {u("2 + 3"), u("4 · 2"), u("9 − 6"), u("10 : 5")},
                                        {u("5"), u("8"), u("3"), u("2")}));
    for (const char* text : {"Сколько будет 2 + 2?", "Решите уравнение x + 3 = 5", "Чему равен квадрат числа 7?",
                             "Упростите выражение 2a + 3a"})
        s.questions.append(bank.addChoice(s.topic, u(text)));
    bank.setSettings(s.topic, [](TestSettings& t) {
        t.RandomOrder = false;
        t.MaxPointSystem = 5;
        t.TimeLimit = true;
        t.MaxTime = 20;
    });
    for (const char* name : {"Иванов Пётр", "Петрова Анна", "Сидоров Илья", "Кузнецова Мария"})
        s.students.append(bank.addStudent(u(name)));
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshots_vezuviroz <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    SetMessageHandler([](const QString&, MsgIcon, MsgButtons) { return MsgResult::Yes; });
    WritePorts(QString(), -1, 0);
    const Sample sample = fillBank();

    VezuvirozModules modules;
    TVezuvirozF* window = modules.window();
    TestingServer* server = window->server();
    window->resize(1100, 650);
    window->show();
    server->OpenTestTopic(sample.topic);

    // Four computers get their sets; a fifth comes later and waits.
    std::vector<std::unique_ptr<Computer>> computers;
    for (int n = 2; n <= 5; ++n)
        computers.push_back(std::make_unique<Computer>(n, server->tcpPort(), QStringLiteral("PC-%1").arg(n - 1)));
    bool ok = QTest::qWaitFor([&] { return window->monitor()->rowCount() == 4; }, WaitMs);
    bool handedOut = false;
    QObject::connect(server, &TestingServer::handOutFinished, [&] { handedOut = true; });
    window->btnStartTesting->click();
    ok = ok && QTest::qWaitFor([&] { return handedOut; }, WaitMs);
    QStringList route;
    for (int id : sample.questions)
        route << QString::number(id);
    const int remain[] = {840, 45, 600, 0};
    // The first question matches pairs (two of them mixed up here); the others are choices.
    const auto answer = [](int k) {
        return k == 0 ? QStringLiteral("12345687") : k % 2 ? QStringLiteral("2") : QStringLiteral("1");
    };
    for (int i = 0; i < 4; ++i) {
        StudentConnection& link = computers[i]->link;
        link.sendRout(int(route.size()), route);
        for (int k = 0; k <= i + 1 && k < route.size(); ++k)
            link.sendReport({sample.questions[k], answer(k), k + 1, remain[i]});
        server->SetStudent(QStringLiteral("127.0.0.%1").arg(i + 2), sample.students[i]);
    }
    // the third finishes and is ready for filing; the fourth finished and its computer went away
    QStringList answers;
    for (int k = 0; k < sample.questions.size(); ++k)
        answers << QStringLiteral("%1=%2")
                       .arg(sample.questions[k])
                       .arg(k == 0 ? QStringLiteral("12345678") : QStringLiteral("1"));
    computers[2]->link.sendFinishReport(answers);
    computers[3]->link.sendFinishReport(answers);
    ok = ok && QTest::qWaitFor(
                   [&] {
                       int ready = 0;
                       for (const MonitorRow& r : window->monitor()->rows())
                           ready += r.ready;
                       return ready == 2;
                   },
                   WaitMs);
    computers[3].reset();
    computers.push_back(std::make_unique<Computer>(6, server->tcpPort(), QStringLiteral("PC-5")));
    ok = ok && QTest::qWaitFor([&] { return window->monitor()->rowCount() == 5; }, WaitMs);
    // the second computer's test runs without a time limit
    Dataset& rows = *modules.store().dm()->sqlCurrentTesting;
    if (rows.locate(QStringLiteral("IP"), QStringLiteral("127.0.0.2"))) {
        rows.edit();
        rows.setValue(QStringLiteral("TimeLimit"), false);
        rows.post();
    }
    QTest::qWait(300);
    window->selectRow(QStringLiteral("127.0.0.3"));
    window->grdMonitor->resizeColumnsToContents();
    ok = save(window, folder, "vezuviroz_main_window") && ok;

    TGeneralSettingsF settings(window->settings(), false, window);
    settings.edUDPPort->setValue(9000);
    settings.edTCPPort->setValue(4545);
    settings.show();
    ok = save(&settings, folder, "vezuviroz_general_settings") && ok;
    settings.hide();

    computers.clear();
    window->hide();
    return ok ? 0 : 1;
}
