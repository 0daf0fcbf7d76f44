#pragma once

#include "protocol.h"
#include "tcpkernel.h"
#include "wireparser.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <memory>

class QFile;
class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

// One TCP connection of the command protocol: owns its socket, feeds every read to the protocol
// code, logs, and sends through a queue. Each message leaves in a write of its own, followed by a
// short gap before the next one, since the peer may take everything that one read brings as one
// message. A pause in the queue holds back only this connection's later sends; the event loop
// never waits. The question set streams from its file as the socket drains: the kernel copies the
// file's pages into the socket, so a set is never held in this process's memory and any number of
// connections may stream the same file at once.
// A reset by the peer is a socket error (10054); an orderly close by the peer is a disconnection.
class ProtocolConnection : public QObject
{
    Q_OBJECT
public:
    // The quiet time after each message before the next one leaves (see connection.cpp for why).
    static constexpr int GapMs = 50;
    // The longest a message whose end has not come is held before it is taken as it is: the
    // receiving side's wait.
    static constexpr int HoldMs = 3000;

    ~ProtocolConnection() override;

    QTcpSocket* socket() const { return m_socket; }
    // The other side's IP address (dotted decimal), the peer of every log entry.
    QString peer() const { return m_peer; }

    // Queues a message; it is logged (or not) by the sending side's rules when it goes out. A
    // message that cannot go (no open connection, or the connection drops while it waits) is
    // logged and reported with messageUnsent.
    void send(const QByteArray& message);
    // Queues a wait before the next queued send. A pause right after a message counts from that
    // message's write.
    void pause(int ms = Protocol::PauseMs);
    // True when nothing waits in the queue, no pause or gap runs and no set streams.
    bool isIdle() const;
    // The hold limit of an unfinished message, HoldMs unless set (tests shorten it).
    void setHoldMs(int ms) { m_holdTimer.setInterval(ms); }

Q_SIGNALS:
    // After a reset (10054) the connection is closed already: disconnected() comes first, then
    // socketError().
    void socketError(int wsaCode);
    void disconnected();
    // The queue has gone out whole, its last gap included.
    void queueDrained();
    // A queued message that never went out, in its wire form. Emitted before disconnected().
    void messageUnsent(const QByteArray& message);

protected:
    ProtocolConnection(QTcpSocket* socket, Protocol::Side side, QObject* parent);
    void setPeer(const QString& peer) { m_peer = peer; }
    virtual void takeRead(const QByteArray& read) = 0;
    // Gives out the bytes of a message whose end is overdue as a message of their own.
    virtual void flushHeld() = 0;
    // Bytes of a message begun whose end has not come.
    virtual qsizetype heldByteCount() const = 0;
    // After a reset the connection is closed before the owner hears of it; the server logs the
    // close here.
    virtual void onResetClosed() {}
    // Opens a file for a later queueFile(); logs the sending error and gives null when it cannot.
    std::shared_ptr<QFile> openForStreaming(const QString& path);
    // Queues the "QuestionList" head with the file's size, then its bytes.
    void queueFile(std::shared_ptr<QFile> file);
    virtual void onStreamEnded(bool ok);

private:
    struct Entry
    {
        enum class Type
        {
            Bytes,
            Pause,
            File
        };
        Type type = Type::Bytes;
        QByteArray bytes;
        int ms = 0;
        std::shared_ptr<QFile> file;
        qint64 size = 0;
    };

    void pump();
    void writeMessage(const QByteArray& message);
    void reportUnsent(const QByteArray& message);
    void startGap();
    void endWait();
    void takeDisconnection();
    void watchHeldBytes(qsizetype heldBefore, qsizetype added);
    bool streamSome();
    bool streamByKernel();
    void continueStream();
    void watchWritable(bool on);
    void endStream(bool ok);
    bool isOpen() const;
    void takeError(QAbstractSocket::SocketError error);
    void onSocketError(int wsaCode);

    QTcpSocket* m_socket;
    Protocol::Side m_side;
    QString m_peer;
    std::deque<Entry> m_queue;
    QTimer m_waitTimer;         // a pause, or the gap after a message
    bool m_inGap = false;       // the wait running is a gap
    QElapsedTimer m_sinceWrite; // since the last message went out
    QTimer m_holdTimer;         // the hold limit of an unfinished message
    bool m_deferDisconnect = false;
    bool m_disconnectDeferred = false;
    std::shared_ptr<QFile> m_streaming;
    qint64 m_streamOffset = 0; // next byte of the file to go out
    qint64 m_streamLeft = 0;
    bool m_kernelCopies = true;            // false once the kernel refused this file
    QSocketNotifier* m_writable = nullptr; // writability while the kernel copies
    TcpKernel::ConnectionHold m_hold;      // tells a reset from an orderly close
};

// The server's end of one student computer's connection.
class ServerConnection : public ProtocolConnection
{
    Q_OBJECT
public:
    // Takes ownership of an accepted socket.
    explicit ServerConnection(QTcpSocket* socket, QObject* parent = nullptr);

    // "SettingsList", the pause, then the "QuestionList" head and the bytes of the file. Returns
    // false (after logging "Questions sending error. Client: ...") when the file cannot be opened.
    bool sendQuestionSet(const QStringList& settings, const QString& filePath);

Q_SIGNALS:
    void messageReceived(const Protocol::StudentMessage& message);
    void questionSetSent();
    void questionSetFailed();

protected:
    void takeRead(const QByteArray& read) override;
    void flushHeld() override;
    qsizetype heldByteCount() const override { return m_receiver.heldByteCount(); }
    void onResetClosed() override;
    void onStreamEnded(bool ok) override;

private:
    void dispatch(const QList<Protocol::ServerReceiver::Event>& events);

    Protocol::ServerReceiver m_receiver;
};

// The student computer's connection to the server.
class StudentConnection : public ProtocolConnection
{
    Q_OBJECT
public:
    explicit StudentConnection(QObject* parent = nullptr);

    void connectToServer(const QString& address, quint16 port);
    void disconnectFromServer();
    bool isConnected() const;

    void sendIam(int topicId, const QString& hostName) { send(Protocol::iam(topicId, hostName)); }
    void sendGetQuestions() { send(Protocol::command(Protocol::Head::GetQuestions)); }
    // The pause after "Rout" keeps it apart from the first "Report".
    void sendRout(int priceSum, const QStringList& route);
    void sendReport(const Protocol::ReportLines& lines) { send(Protocol::report(lines)); }
    // Sent after "!Ready": the pause comes first.
    void sendTotalReport(const QStringList& results);
    // The pause keeps it apart from the last "Report".
    void sendFinishReport(const QStringList& results);
    void sendCriteriaNeeded() { send(Protocol::criteriaNeeded()); }
    void sendNoop() { send(Protocol::command(Protocol::Head::Noop)); }

    bool receivingQuestionSet() const { return m_receiver.receivingQuestionSet(); }
    qint64 receivedQuestionSetBytes() const { return m_receiver.receivedByteCount(); }
    // The wait for the set ran out: receiving ends, nothing is sent; the rest of the set, should it
    // still come, is dropped.
    void abortQuestionSet() { m_receiver.abortQuestionSet(); }
    // Taking the set in failed: receiving ends, the failure is logged and the server told.
    void reportQuestionSetFailure();

Q_SIGNALS:
    void connected();
    void messageReceived(const Protocol::ServerMessage& message);
    void questionSetStarted(qint64 byteCount);
    void questionSetReceived(const QByteArray& bytes);
    // The head's byte count was refused; the failure is already logged and reported to the server.
    void questionSetFailed(const QString& problem);

protected:
    void takeRead(const QByteArray& read) override;
    void flushHeld() override;
    qsizetype heldByteCount() const override { return m_receiver.heldByteCount(); }

private:
    void dispatch(const QList<Protocol::StudentReceiver::Event>& events);

    Protocol::StudentReceiver m_receiver;
};

// The server's listening socket: one ServerConnection per accepted student computer, removed and
// deleted when it disconnects.
class CommandServer : public QObject
{
    Q_OBJECT
public:
    explicit CommandServer(QObject* parent = nullptr);
    ~CommandServer() override;
    bool listen(quint16 port);
    void close();
    quint16 port() const;
    QList<ServerConnection*> connections() const { return m_connections; }

Q_SIGNALS:
    void clientConnected(ServerConnection* connection);
    void clientDisconnected(ServerConnection* connection);

private:
    void accept();

    QTcpServer* m_server;
    QList<ServerConnection*> m_connections;
};
