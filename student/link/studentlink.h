#pragma once

#include "engineinterfaces.h"
#include "servernetwork.h"

#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class TestEngine;
namespace Protocol {
struct ServerMessage;
}

enum class ConnectionState
{
    Searching,  // not connected, no test running
    Connected,  // connected and identified
    Lost,       // the connection broke while a test was loaded
    Restored,   // connected again after a loss; the answers wait for "!Ready"
    Autonomous, // working from a question file; no server
};

// The four ways of finding a server offered on the status panel.
enum class WorkMode
{
    Automatic = 0,
    ManualAddress = 1,
    SavedAddress = 2,
    Autonomous = 3,
};

// What the link asks the student; the window answers with dialogs, tests with pre-set answers.
class LinkDialogs
{
public:
    virtual ~LinkDialogs() = default;
    // The server address typed in, the entry starting with `current`; nothing when cancelled.
    virtual std::optional<QString> askServerAddress(const QString& current) = 0;
    // A question file to take a test from; empty when cancelled.
    virtual QString chooseQuestionFile() = 0;
};

// What the window shows of the link; rebuilt by every change, announced by changed().
struct LinkView
{
    bool statusShown = true;  // the status panel (state Searching)
    QString statusText;       // its label
    bool choiceShown = false; // the mode choice (else the hint)
    WorkMode mode = WorkMode::Automatic;
    bool offerShown = false; // "или нажмите кнопку" and "Получить вопросы"
    QString offerHint;       // the button's and the waiting panel's hint
    QString waitCaption;     // the waiting panel's caption
    QString topicCaption;    // the topic taken from a question file, for the title
};

// The student computer's side of the network and of work without a server: finds the server
// (discovery, a typed or saved address), connects and reconnects, identifies itself, turns the
// server's messages into the engine's operations, keeps the answers across a lost connection and
// saves a work to a file when it cannot be delivered. It has no window: the window shows view(),
// forwards the student's clicks and answers the dialogs.
//
// Every wait is a timer or the connection's send queue; nothing here blocks the event loop.
class StudentLink : public QObject, public EngineSender, private ServerChannelEvents
{
    Q_OBJECT
public:
    static constexpr int ReconnectRandomMs = 5000; // random part of the reconnection interval
    static constexpr int ReconnectLostMs = 2000;   // fixed part after a disconnection
    static constexpr int DeliveryWaitMs = 30000;   // the longest wait for "YourPrePointsAre"

    // The connection comes from `channels`; the timers (reconnection, delivery) from `timers` so
    // that tests fire them.
    StudentLink(EngineNotices& notices, LinkDialogs& dialogs, ServerListener& listener, const ChannelFactory& channels,
                quint32 seed, TimerFactory timers = EventLoopTimers(), QObject* parent = nullptr);
    ~StudentLink() override;

    // The engine is made over this link (as its sender) and attached before start().
    void attachEngine(TestEngine* engine) { m_engine = engine; }

    // The start of the program after its title is set: ports, folders, the file argument, the
    // reconnection interval and the listener. `serverOption` is the address of "--server"; a valid
    // one connects at once, without discovery.
    void start(const QStringList& arguments, const QString& serverOption = {});

    // --- the student ---
    void StatusPanelClick();
    void rgMetodClick(WorkMode mode);
    void WaitPanelClick();
    void btnGetQuestionsClick();
    // The close of the main window: false when it is refused (the server is told "!NOOP" and the
    // student told not to close).
    bool FormCloseQuery();

    // --- discovery and the reconnection timer ---
    void ListenerAdvertisementReceived(const QString& infoString, const QString& ip, const QString& computerName);
    void ReconnectTimerTimer();

    // --- state ---
    ConnectionState state() const { return m_state; }
    const LinkView& view() const { return m_view; }
    QString serverAddress() const { return m_address; }
    quint16 tcpPort() const { return m_tcpPort; }
    int reconnectInterval() const { return m_reconnectInterval; }
    bool reconnectPending() const;
    bool mayClose() const { return m_forcedClose || m_state != ConnectionState::Connected; }
    bool awaitingDelivery() const;
    ServerChannel& connection() { return *m_connection; }
    // "a.b.c.d", each part 0 to 255 in decimal.
    static bool IsValidAddress(const QString& text);

    // --- EngineSender ---
    bool isConnected() const override { return m_state == ConnectionState::Connected; }
    bool isAutonomous() const override { return m_state == ConnectionState::Autonomous; }
    bool requestOffered() const override { return m_offered; }
    void sendRout(int priceSum, const QStringList& route) override;
    void sendReport(const Protocol::ReportLines& lines) override;
    void sendFinishReport(const QStringList& results) override;
    void sendTotalReport(const QStringList& results) override;
    void sendCriteriaNeeded() override;
    void abortQuestionSet() override;
    void reportReceivingFailure() override;

Q_SIGNALS:
    void changed();
    // "!CloseClient": the program closes now.
    void closeRequested();

private:
    // --- ServerChannelEvents ---
    void channelConnected() override { ClientConnect(); }
    void channelDisconnected() override { ClientDisconnect(); }
    void channelError(int wsaCode) override { ClientError(wsaCode); }
    void channelMessage(const Protocol::ServerMessage& message) override { ClientRead(message); }
    void channelQuestionSet(const QByteArray& package) override { takeQuestionSet(package); }
    void channelQuestionSetFailed() override { questionSetFailed(); }
    void channelUnsent(const QByteArray& message) override;

    void ClientConnect();
    void ClientDisconnect();
    void ClientError(int code);
    void ClientRead(const Protocol::ServerMessage& message);
    void takeQuestionSet(const QByteArray& package);
    void questionSetFailed();
    void SendIam();
    void connectTo(const QString& address);
    void useSavedAddress();
    void useTypedAddress();
    void takeQuestionFile();
    void backToAutomatic();
    void forgetOffer();
    void takeReady(int topicId);
    void leaveRestored();
    void deliveryFailed();
    void setState(ConnectionState state);
    void update();

    EngineNotices& m_notices;
    LinkDialogs& m_dialogs;
    ServerListener& m_listener;
    TestEngine* m_engine = nullptr;
    QRandomGenerator m_random;
    std::unique_ptr<ServerChannel> m_connection;
    std::unique_ptr<EngineTimer> m_reconnectTimer;
    std::unique_ptr<EngineTimer> m_deliveryTimer;
    int m_reconnectInterval = 0;
    quint16 m_tcpPort = 0;
    ConnectionState m_state = ConnectionState::Searching;
    QString m_address;
    bool m_offered = false;
    QString m_offeredTopic;
    bool m_getQuestionsMarked = false;
    bool m_forcedClose = false;
    bool m_closing = false;
    LinkView m_view;
};
