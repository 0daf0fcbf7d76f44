#pragma once

#include "connection.h"
#include "serverbank.h"
#include "table.h"
#include "testingserver.h"

#include <QList>
#include <QString>
#include <gtest/gtest.h>
#include <memory>

QString u8(const char* text);
QByteArray wire(const char* text); // '|' stands for NUL
bool logged(const QString& tail);
int loggedCount(const QString& tail);

// A student's computer as the server meets it: the protocol's student end on its own loopback
// address (127.0.0.x), recording what the server sends.
class Peer : public QObject
{
public:
    explicit Peer(const QString& address);

    bool connectTo(quint16 port);
    void iam(int topicId = 0, const QString& host = {}) { connection.sendIam(topicId, host.isEmpty() ? name : host); }
    void sendRaw(const QByteArray& bytes) { connection.send(bytes); }
    bool waitFor(Protocol::ServerMessage::Kind kind, int count = 1);
    int count(Protocol::ServerMessage::Kind kind) const;
    const Protocol::ServerMessage* last(Protocol::ServerMessage::Kind kind) const;
    bool waitForSet(int count = 1);
    bool waitClosed();
    // QueIDs of the last set received, in its order.
    QList<int> setIds() const;
    // The answer list that answers every question of the last set right (choices: answer 1).
    QStringList rightAnswers() const;

    QString address;
    QString name;
    StudentConnection connection;
    QList<Protocol::ServerMessage> messages;
    QList<Table> sets;
    bool closed = false;
};

// The prompts of the teacher, answered by the test.
class TestPrompts : public ServerPrompts
{
public:
    bool confirm(const QString& question) override
    {
        asked.append(question);
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    int chooseStudent(const QString& pcName) override
    {
        chosenFor.append(pcName);
        return student;
    }
    QStringList asked;
    QList<bool> answers;
    QStringList chosenFor;
    int student = 0;
};

// A started server on a fresh bank with one topic of `questionCount` choice questions.
class ServerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A connected and registered peer on 127.0.0.<n>.
    Peer& addPeer(int n, int topicId = 0);
    bool waitRows(int count);
    // The row of the address, read fresh from the store.
    QVariant rowValue(const QString& address, const QString& column);
    int rowCount();
    bool waitRowValue(const QString& address, const QString& column, const QVariant& value);
    void makeTopic(int questionCount, const std::function<void(TestSettings&)>& settings = {});
    void handOutAndWait(int setsPerPeer = 1);

    std::unique_ptr<ServerBank> bank;
    TestPrompts prompts;
    std::unique_ptr<TestingServer> server;
    int topic = 0;
    QList<int> questions;
    std::vector<std::unique_ptr<Peer>> peers;
};
