// The testing server's handling of messages with its registry behind it: a sequence of messages
// from several computers, their drops and returns, and the teacher's commands between them, all
// chosen by the input. Crashes, sanitizer reports and broken registry invariants are findings.
//
// Input: records of one control byte and its operands.
//   control & 3: the computer (four addresses, two of them shared by two connections)
//   control >> 2 (mod 8):
//     0: a read of n bytes (n = next byte) from that computer
//     1: a well-formed message built from the next bytes (Iam, Rout, Report, ...)
//     2: the computer's connection drops and a new one takes its place
//     3: a teacher's command on the computer's row (next byte chooses), answered yes or no
//     4: hand-out; 5: restart; 6: open the topic; 7: let the event loop run
#include "connection.h"
#include "dataset.h"
#include "protocol.h"
#include "serverbank.h"
#include "testingserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

namespace {

// A connection without a socket behind it: what it is sent goes nowhere, what it reads comes
// from the input.
class FuzzConnection : public ServerConnection
{
public:
    explicit FuzzConnection(const QString& address) : ServerConnection(new QTcpSocket) { setPeer(address); }
    void read(const QByteArray& bytes) { takeRead(bytes); }
    void drop() { Q_EMIT disconnected(); }
};

class Prompts : public ServerPrompts
{
public:
    bool confirm(const QString&) override { return yes; }
    int chooseStudent(const QString&) override { return yes ? student : 0; }
    bool yes = true;
    int student = 0;
};

struct World
{
    World()
    {
        qputenv("VASTREL_HOME", home.path().toLocal8Bit());
        bank = std::make_unique<ServerBank>();
        topic = bank->addTopic(QStringLiteral("T"));
        for (int i = 0; i < 4; ++i)
            questions.append(bank->addChoice(topic, QStringLiteral("Q%1").arg(i)));
        questions.append(bank->addOrdering(topic, QStringLiteral("O")));
        bank->setSettings(topic, [](TestSettings& s) { s.GiveMaxCount = 3; });
        prompts.student = bank->addStudent(QStringLiteral("S"));
    }
    QTemporaryDir home;
    std::unique_ptr<ServerBank> bank;
    int topic = 0;
    QList<int> questions;
    Prompts prompts;
};

World& world()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static World w;
    return w;
}

class Reader
{
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    int byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    QByteArray bytes(int n)
    {
        const size_t take = qMin(size_t(n), m_size - qMin(m_pos, m_size));
        QByteArray b(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(take));
        m_pos += take;
        return b;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

QByteArray message(Reader& in, const World& w)
{
    const int kind = in.byte() % 8;
    const int id = w.questions.value(in.byte() % (w.questions.size() + 1), 999);
    const QString answer = QString::number(in.byte() % 5);
    switch (kind) {
    case 0:
        return Protocol::iam(in.byte() % 2 ? w.topic : in.byte() - 128, QStringLiteral("PC"));
    case 1:
        return Protocol::rout(in.byte(), {QString::number(id), QString::number(w.questions.value(0))});
    case 2:
        return Protocol::report({id, in.byte() % 4 ? answer : QString(), in.byte() - 8, in.byte()});
    case 3:
        return Protocol::totalReport({QString::number(id) + u'=' + answer, QString::number(id) + "=1"});
    case 4:
        return Protocol::finishReport({QString::number(id) + u'=' + answer});
    case 5:
        return Protocol::criteriaNeeded();
    case 6:
        return Protocol::command(Protocol::Head::GetQuestions);
    default:
        return Protocol::command(Protocol::Head::NoopEcho);
    }
}

void runEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (t.elapsed() < ms);
}

// Every row has an address of its own, and every row without a work belongs to a live connection.
void checkRegistry(const TestingServer& server, const Dataset& rows)
{
    QSet<QString> addresses;
    for (int i = 0; i < rows.recordCount(); ++i) {
        const QVariantList& row = rows.rowValues(i);
        const QString address = row[rows.fieldIndex(QStringLiteral("IP"))].toString();
        const bool work = row[rows.fieldIndex(QStringLiteral("QuestionsGiven"))].toBool();
        if (addresses.contains(address) || (!work && !server.isConnected(address)))
            std::abort();
        addresses.insert(address);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    World& w = world();
    TestingServer server(&w.bank->dm, &w.bank->shared, &w.prompts);
    server.setRestartPause(0);
    if (!server.Start(-1, 0))
        std::abort();
    static const QString addresses[4] = {QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"),
                                         QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.3")};
    std::unique_ptr<FuzzConnection> links[4];
    const auto fresh = [&](int i) {
        links[i] = std::make_unique<FuzzConnection>(addresses[i]);
        server.attach(links[i].get());
    };
    for (int i = 0; i < 4; ++i)
        fresh(i);

    Reader in(data, size);
    int steps = 0;
    while (!in.atEnd() && ++steps < 200) {
        const int control = in.byte();
        const int who = control & 3;
        w.prompts.yes = control & 0x80;
        switch ((control >> 2) % 8) {
        case 0:
            links[who]->read(in.bytes(in.byte()));
            break;
        case 1:
            links[who]->read(message(in, w));
            break;
        case 2:
            links[who]->drop();
            fresh(who);
            break;
        case 3: {
            const int command = in.byte() % 8;
            const QString& a = addresses[who];
            if (command == 0)
                server.FileResult(a);
            else if (command == 1)
                server.ClearWorkplace(a);
            else if (command == 2)
                server.DeleteRow(a);
            else if (command == 3)
                server.CloseWorkplace(a);
            else if (command == 4)
                server.FileAllResults();
            else if (command == 5)
                server.ClearAll();
            else if (command == 6)
                server.CloseAllFree();
            else
                server.CloseAll();
            break;
        }
        case 4:
            server.HandOutQuestions();
            break;
        case 5:
            server.RestartServer(control & 0x40);
            for (int i = 0; i < 4; ++i) {
                links[i]->drop(); // nothing when the restart has ended it already
                fresh(i);
            }
            break;
        case 6:
            server.OpenTestTopic(in.byte() % 3 ? w.topic : in.byte());
            break;
        default:
            runEvents(2);
            break;
        }
        checkRegistry(server, *w.bank->dm.sqlCurrentTesting);
    }
    runEvents(3);
    server.Stop(false);
    runEvents(1);
    return 0;
}
