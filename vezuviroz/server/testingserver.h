#pragma once

#include "handedsets.h"
#include "protocol.h"
#include "table.h"
#include "testsettings.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <random>

class CommandServer;
class Dataset;
class QuestionSet;
class ServerConnection;
class SetPacker;
class TDM;
class TSharedDM;
class TUDPAdvertiser;

enum class ServerPhase
{
    NoTopic,
    TopicOpen,
    Distributing,
    Testing
};

// What the server asks the teacher. The window answers with its dialogs; tests answer directly.
class ServerPrompts
{
public:
    virtual ~ServerPrompts() = default;
    // A yes/no question; the default asks through the program's message dialog.
    virtual bool confirm(const QString& question);
    // The student who sits at the computer, 0 when the teacher cancels the choice.
    virtual int chooseStudent(const QString& pcName);
};

// The testing server without a window: one row of CurrentTesting per student computer, the open
// topic and request mode, the hand-out of question sets, the reports that grade each work, and
// the teacher's commands that file a finished work and clear or switch off workplaces.
//
// A row is bound to the connection that identified itself for it. A row that holds a work stays
// when its connection drops (and across a crash of the server): the computer that identifies
// itself again from that address takes it back, and a finished work can be filed without it.
//
// Everything runs on the event loop: a hand-out, a restart and switching free workplaces off are
// sequences of steps between which other computers' messages are handled.
class TestingServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int RestartPauseMs = 1000;
    // The folder of the program's folder that keeps each computer's handed-out questions.
    static constexpr char HandedOutFolder[] = "HandedOut";
    static constexpr char AdvertiserInfo[] = "IamVezuviroz";

    TestingServer(TDM* dm, TSharedDM* shared, ServerPrompts* prompts = nullptr, QObject* parent = nullptr);
    ~TestingServer() override;

    // Keeps the rows that hold works (their computers take them back) and drops the others, then
    // listens on the TCP port and answers discovery on the UDP port (none when udpPort < 0; port 0
    // lets the system choose). False when the TCP port cannot be listened on.
    bool Start(int udpPort, int tcpPort);
    // Closes every connection, stops listening and answering, removes the transient files. Rows
    // with works stay in the table when keepWorks is set, so that the next start brings them back.
    void Stop(bool keepWorks);
    quint16 tcpPort() const;
    int udpPort() const;

    ServerPhase phase() const { return m_phase; }
    bool isTopicOpen() const { return m_topicOpen; }
    int openTopicId() const { return m_topicId; }
    QString openTopicName() const { return m_topicName; }
    int openTopicQuestionCount() const { return m_topicOpen ? m_topicTable.rowCount() : 0; }
    bool requestMode() const { return m_requestMode; }
    int echoCount() const { return m_echoCount; }
    bool nobodyWorking() const { return m_nobodyWorking; }
    int connectionCount() const;
    // Whether the row of the address has a live connection.
    bool isConnected(const QString& address) const;
    // The questions handed to the computer of the address (empty when not known).
    QList<int> handedOut(const QString& address) const { return m_handed.of(address); }
    // The cached question table of a topic (all columns of Questions), null when the topic has no
    // entry. The pointer lasts only until the cache changes: keep a copy (tables share their rows).
    const Table* cachedQuestions(int topicId) const;
    // Asks the computer of the address to send its route again ("!NeedRoute"); nothing without a
    // connection.
    void SendNeedRoute(const QString& address);

    // The teacher saved other ports during this run: each computer is told them after its "Iam".
    void setPortsChanged(int udpPort, int tcpPort);
    void setRestartPause(int ms) { m_restartPauseMs = ms; }
    void seedDraws(quint32 seed) { m_rng.seed(seed); }
    void setPrePointsFromPassedOnly(bool on) { m_passedOnly = on; }

    // The open topic and request mode.
    bool OpenTestTopic(int topicId);
    bool OpenTestTopic(const QString& topicName);
    void CloseTestTopic();
    void SetRequestMode(bool on);
    void BroadcastRequestState(bool allowed, bool retry = false);

    // The teacher's hand-out to every computer without questions (requester null), or a set for
    // one computer that asked. Runs in steps; handOutFinished() tells the end.
    void HandOutQuestions(ServerConnection* requester = nullptr);
    // Checked between computers.
    void CancelHandOut() { m_handOut.cancel = true; }
    bool isHandingOut() const { return m_handOut.active; }

    // A connection is handled from its acceptance on; connections made elsewhere (a fuzzer's) may
    // be handed in the same way. Its disconnected() signal ends it.
    void attach(ServerConnection* connection);

    void RestartServer(bool networkFault);
    void UpdateCounters(int subtract = 0);

    // The teacher's commands on the row of an address. FileResult gives the filed Points, or
    // nothing when nothing was filed.
    std::optional<int> FileResult(const QString& address, bool fromFileAll = false);
    void ClearWorkplace(const QString& address, bool ask = true);
    void DeleteRow(const QString& address);
    void CloseWorkplace(const QString& address);
    void ClearAll();
    void CloseAll();
    // Runs in steps; closeAllFreeFinished() tells the end.
    void CloseAllFree();
    void FileAllResults();

    // What the monitor changes on a row: the final mark the teacher types and the student chosen
    // for the computer (0: none). False when the address has no row.
    bool SetPoints(const QString& address, int points);
    bool SetStudent(const QString& address, int studentId);
    // Whether some row holds a finished work that is not filed yet.
    bool anyReady() const;
    // The teacher saved other ports: every open connection is told them now, later ones after
    // their "Iam"; this server keeps its ports until the program starts again.
    void AnnouncePorts(int udpPort, int tcpPort);

Q_SIGNALS:
    void phaseChanged(ServerPhase phase);
    void statusChanged(const QString& text);
    void captionChanged(const QString& caption);
    void handOutStarted(int maximum);
    void handOutProgress(int position);
    void handOutFinished();
    void restartNoticeChanged(bool shown, bool networkFault);
    void restartFinished();
    void countersChanged(int connected, int working);
    void echoCountChanged(int count);
    void studentViewReset();
    // A work has been finished: the window plays the system's mail sound.
    void workFinished(const QString& address);
    void closeAllFreeFinished();
    // A computer identified itself and has its row (topicId: the test it re-attaches to, or 0).
    void computerRegistered(const QString& address, int topicId);
    // Rows of CurrentTesting or their connections changed: told once per turn of the event loop,
    // however many reports arrived in it.
    void rowsChanged();

private:
    struct HandOut
    {
        bool active = false;
        bool cancel = false;
        QPointer<ServerConnection> requester;
        bool byRequest = false;
        QList<QPointer<ServerConnection>> targets;
        int next = 0;
        QStringList settings;
        QString criteria;
        TestSettings topicSettings;
        int perStudent = 0;
        QString sharedArchive; // the one set of all computers when the order is not random
        QList<int> sharedIds;
        Table topic;                       // the open topic's questions as this hand-out draws from them
        std::shared_ptr<SetPacker> packer; // each question compressed once for all random sets
    };
    struct Graded
    {
        double percent = 0;
        int mark = 0;
        QStringList details;
    };

    Dataset& rows() const;
    bool locateRow(const QString& address) const;
    QString boundAddress(ServerConnection* connection) const { return m_bound.value(connection); }
    ServerConnection* connectionOf(const QString& address) const;
    void send(const QString& address, const QByteArray& message);
    void sendToAll(const QByteArray& message);
    void setPhase(ServerPhase phase);
    void setPhaseAfterEmptyTable();
    bool holdsWork() const;

    void closeConnections();
    void clientDisconnected(ServerConnection* connection);
    void takeMessage(ServerConnection* connection, const Protocol::StudentMessage& message);
    void identify(ServerConnection* connection, int topicId, const QString& hostName);
    bool RegisterClient(ServerConnection* connection, const QString& hostName);
    void ReattachClient(const QString& address, int topicId);
    void checkRows();
    void StoreRoute(const QString& address, int priceSum, QStringList route);
    void StoreReport(const QString& address, const Protocol::ReportLines& report);
    void StoreTotalReport(const QString& address, const QStringList& results, bool final);
    void SendCriteria(const QString& address);

    bool openTopicRow(int topicId, const QString& topicName);
    QStringList collectQuestionIds(int topicId);
    void handOutPrepare();
    void handOutStep();
    void handOutFinish();
    void SendQuestionPackage(ServerConnection* connection);
    QString newArchivePath();
    void removeTransientFiles();

    void holdTopic(const QString& address, int topicId);
    void releaseTopic(const QString& address);
    const QuestionSet* gradingSet(int topicId);
    QString unansweredText(int topicId, int queId);
    QStringList checkedLines(const QString& address, int topicId, const QStringList& lines, bool defines);
    Graded grade(int topicId, const QString& answers, bool partial, const QString& criteria, int limit, bool details);
    void regradeRow(int limit, bool details, Graded* graded);

    bool clearRow();
    void clearAndCallNext(const QString& address);
    QString studentName(int studentId);
    QString markText() const;
    bool confirmDropAll();
    void closeAllFreeStep();
    void restartListen(bool networkFault);
    void dropRowsWithoutWork();
    void noteRowsChanged();
    void watchRows();

    TDM* m_dm;
    TSharedDM* m_shared;
    ServerPrompts* m_prompts;
    std::unique_ptr<ServerPrompts> m_ownPrompts;
    CommandServer* m_server;
    TUDPAdvertiser* m_advertiser = nullptr;
    std::unique_ptr<Dataset> m_students;
    std::unique_ptr<Dataset> m_results;
    std::unique_ptr<Dataset> m_childTopics;
    HandedOutSets m_handed;

    ServerPhase m_phase = ServerPhase::NoTopic;
    bool m_topicOpen = false;
    int m_topicId = 0;
    QString m_topicName;
    Table m_topicTable;
    bool m_requestMode = false;
    bool m_passedOnly = false;
    int m_echoCount = 0;
    bool m_nobodyWorking = true;
    bool m_portsChanged = false;
    int m_newUdpPort = 0;
    int m_newTcpPort = 0;
    int m_tcpPort = 0;
    int m_restartPauseMs = RestartPauseMs;
    bool m_restarting = false;
    bool m_closingFree = false;
    int m_archiveCounter = 0;
    bool m_rowsChangeQueued = false;
    // The working table's own hooks, called before this server's and given back at its end.
    std::function<void(Dataset&)> m_rowsAfterPost, m_rowsAfterDelete, m_rowsAfterOpen;

    QList<ServerConnection*> m_connections;    // open, in the order they came
    QHash<ServerConnection*, QString> m_bound; // identified connections and their rows
    QHash<QString, ServerConnection*> m_rowConnection;
    QHash<QString, int> m_heldTopic; // the cache reference each row holds
    QHash<int, std::shared_ptr<QuestionSet>> m_gradingSets;
    HandOut m_handOut;
    std::mt19937 m_rng{std::random_device{}()};
};
