#include "connection.h"

#include "codec.h"
#include "runlog.h"
#include "socketerror.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <cerrno>
#include <utility>

namespace {

// Where the kernel cannot copy from the file, the question set goes through the socket's buffer
// in chunks while less than HighWaterBytes wait unsent.
constexpr qint64 ChunkBytes = 256 * 1024;
constexpr qint64 HighWaterBytes = 1024 * 1024;

QString dottedAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

QString sendingError(const QString& peer)
{
    return QStringLiteral("Questions sending error. Client: %1").arg(peer);
}

} // namespace

// --- ProtocolConnection ---

ProtocolConnection::ProtocolConnection(QTcpSocket* socket, Protocol::Side side, QObject* parent)
    : QObject(parent), m_socket(socket), m_side(side)
{
    m_socket->setParent(this);
    m_waitTimer.setSingleShot(true);
    // a coarse timer may end a pause early, and the pause is what keeps two messages apart
    m_waitTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_waitTimer, &QTimer::timeout, this, &ProtocolConnection::endWait);
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(HoldMs);
    connect(&m_holdTimer, &QTimer::timeout, this, [this] { flushHeld(); });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        const qsizetype heldBefore = heldByteCount();
        const QByteArray read = m_socket->readAll();
        takeRead(read);
        watchHeldBytes(heldBefore, read.size());
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (!m_streaming)
            return;
        if (!m_kernelCopies) {
            if (streamSome())
                pump();
        } else if (m_socket->bytesToWrite() == 0) {
            // The socket stops watching for writability only after this signal; the kernel's copy
            // starts from the event loop, so that only one watcher of writability is ever active.
            QMetaObject::invokeMethod(this, &ProtocolConnection::continueStream, Qt::QueuedConnection);
        }
    });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &ProtocolConnection::takeError);
    auto takeConnected = [this] {
        m_hold.take(m_socket->socketDescriptor());
        // Each message is a segment of its own at once: with Nagle's algorithm a message written
        // while the one before is unacknowledged waits and then leaves together with the next.
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    };
    if (isOpen())
        takeConnected();
    connect(m_socket, &QAbstractSocket::stateChanged, this, [this, takeConnected](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::ConnectedState)
            takeConnected();
        else if (state == QAbstractSocket::UnconnectedState)
            m_hold.release(); // now this side's close reaches the peer
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_deferDisconnect)
            m_disconnectDeferred = true;
        else
            takeDisconnection();
    });
}

ProtocolConnection::~ProtocolConnection() = default;

// What was still queued did not get through: each message is reported to the owner, a set as a
// sending error; then the owner hears of the disconnection.
void ProtocolConnection::takeDisconnection()
{
    m_waitTimer.stop();
    m_inGap = false;
    m_holdTimer.stop();
    if (m_streaming)
        endStream(false);
    std::deque<Entry> dropped;
    dropped.swap(m_queue);
    for (const Entry& e : dropped) {
        if (e.type == Entry::Type::File) {
            LogText(sendingError(m_peer));
            onStreamEnded(false);
        } else if (e.type == Entry::Type::Bytes) {
            reportUnsent(e.bytes);
        }
    }
    Q_EMIT disconnected();
}

void ProtocolConnection::takeError(QAbstractSocket::SocketError error)
{
    // The socket library reports a reset by the peer as an orderly close; the held socket tells
    // them apart. An orderly close is a disconnection, not an error, as on the Windows side.
    if (error == QAbstractSocket::RemoteHostClosedError && !m_hold.wasReset())
        return;
    onSocketError(WsaErrorCode(error));
}

// A reset is logged, the connection closed (and, on the server, the close logged) before the
// owner hears of any of it: the owner may drop the connection or connect again at once, and then
// finds it closed. The owner hears of the disconnection first, then of the error.
void ProtocolConnection::onSocketError(int wsaCode)
{
    static constexpr int ConnectionReset = 10054;
    LogText(QStringLiteral("ErrorCode=%1 (%2)").arg(wsaCode).arg(SocketErrorText(wsaCode)));
    if (wsaCode == ConnectionReset) {
        m_deferDisconnect = true;
        m_socket->abort();
        m_deferDisconnect = false;
        onResetClosed();
        if (std::exchange(m_disconnectDeferred, false))
            takeDisconnection();
    }
    Q_EMIT socketError(wsaCode);
}

bool ProtocolConnection::isOpen() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

bool ProtocolConnection::isIdle() const
{
    return m_queue.empty() && !m_waitTimer.isActive() && !m_streaming;
}

void ProtocolConnection::send(const QByteArray& message)
{
    Entry e;
    e.bytes = message;
    m_queue.push_back(std::move(e));
    pump();
}

void ProtocolConnection::pause(int ms)
{
    Entry e;
    e.type = Entry::Type::Pause;
    e.ms = ms;
    m_queue.push_back(std::move(e));
    pump();
}

// The hold limit runs from the read that began the held message: a read that only adds to it
// leaves the limit running, a read that leaves another message held starts it anew.
void ProtocolConnection::watchHeldBytes(qsizetype heldBefore, qsizetype added)
{
    const qsizetype held = heldByteCount();
    if (held == 0)
        m_holdTimer.stop();
    else if (heldBefore == 0 || held != heldBefore + added || !m_holdTimer.isActive())
        m_holdTimer.start();
}

std::shared_ptr<QFile> ProtocolConnection::openForStreaming(const QString& path)
{
    auto file = std::make_shared<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        LogText(sendingError(m_peer));
        return {};
    }
    return file;
}

void ProtocolConnection::queueFile(std::shared_ptr<QFile> file)
{
    Entry e;
    e.type = Entry::Type::File;
    e.size = file->size();
    e.file = std::move(file);
    m_queue.push_back(std::move(e));
    pump();
}

void ProtocolConnection::pump()
{
    bool worked = false;
    while (!m_queue.empty() && !m_streaming) {
        if (m_waitTimer.isActive()) {
            if (!m_inGap || m_queue.front().type != Entry::Type::Pause)
                break;
            // the gap after the message is the start of the pause
            m_inGap = false;
            m_waitTimer.start(qMax<qint64>(0, m_queue.front().ms - m_sinceWrite.elapsed()));
            m_queue.pop_front();
            worked = true;
            continue;
        }
        Entry e = std::move(m_queue.front());
        m_queue.pop_front();
        worked = true;
        switch (e.type) {
        case Entry::Type::Pause:
            m_waitTimer.start(e.ms);
            break;
        case Entry::Type::Bytes:
            if (isOpen())
                writeMessage(e.bytes);
            else
                reportUnsent(e.bytes);
            break;
        case Entry::Type::File: {
            m_streaming = std::move(e.file);
            m_streamOffset = 0;
            m_streamLeft = e.size;
            m_kernelCopies = true;
            if (!isOpen()) {
                endStream(false);
                break;
            }
            const QByteArray head = Protocol::questionListHead(e.size);
            m_socket->write(head);
            if (const std::optional<QString> text = Protocol::sentLogText(m_side, head))
                LogOut(m_peer, *text);
            streamSome();
            break;
        }
        }
    }
    if (worked && isIdle())
        Q_EMIT queueDrained();
}

void ProtocolConnection::writeMessage(const QByteArray& message)
{
    m_socket->write(message);
    m_socket->flush(); // one write, now, for this message alone
    if (const std::optional<QString> text = Protocol::sentLogText(m_side, message))
        LogOut(m_peer, *text);
    startGap();
}

void ProtocolConnection::reportUnsent(const QByteArray& message)
{
    const QString text = Protocol::sentLogText(m_side, message).value_or(fromCp1251(message));
    LogText(QStringLiteral("Not sent to \"%1\": \"%2\"").arg(m_peer, text));
    Q_EMIT messageUnsent(message);
}

// Why the gap is GapMs. A peer that takes each read as one message reads two messages apart only
// when it has read the first before the second arrives. On loopback a small message reaches the
// peer's read within a fraction of a millisecond (bench/network (d): medians of 0.01 to 0.03 ms,
// at most 0.15 ms on a loaded machine), and a classroom LAN adds well under a millisecond; yet
// written with no gap at all, from a third to nearly all of the pairs merged even at a free peer.
// What merges two messages is a peer whose thread is busy when the first arrives: the gap keeps
// them apart when the peer is free again within it (in (d), a 20 ms gap still merged a third of
// the pairs at a peer busy for up to 30 ms, 50 ms none). A Windows program reads its socket events
// between window messages, and its timers tick in steps of about 16 ms: 50 ms covers a few steps
// of such work. It is short beside the protocol's 500 ms pauses, and messages that follow each
// other without a pause come in twos and threes, so the gap costs a conversation about a tenth of
// a second at most.
void ProtocolConnection::startGap()
{
    m_sinceWrite.start();
    m_inGap = true;
    m_waitTimer.start(GapMs);
}

void ProtocolConnection::endWait()
{
    // The gap counts from when the bytes have left this computer: after a question set they may
    // still wait in the socket for a while.
    if (m_inGap && isOpen() &&
        (m_socket->bytesToWrite() > 0 || TcpKernel::UnsentBytes(int(m_socket->socketDescriptor())) > 0)) {
        m_waitTimer.start(GapMs);
        return;
    }
    m_inGap = false;
    const bool nothingQueued = m_queue.empty();
    pump();
    if (nothingQueued && isIdle())
        Q_EMIT queueDrained();
}

// Sends file bytes as far as the socket takes them; true when the stream has ended.
bool ProtocolConnection::streamSome()
{
    if (m_kernelCopies && !streamByKernel())
        return false;
    if (!m_streaming)
        return true;
    // the socket's own buffer, where the kernel cannot copy from the file
    while (m_streamLeft > 0 && m_socket->bytesToWrite() < HighWaterBytes) {
        const qint64 n = qMin(ChunkBytes, m_streamLeft);
        const QByteArray chunk = m_streaming->read(n);
        if (chunk.size() != n) {
            endStream(false);
            return true;
        }
        m_socket->write(chunk);
        m_streamOffset += n;
        m_streamLeft -= n;
    }
    if (m_streamLeft > 0)
        return false;
    endStream(true);
    return true;
}

// The kernel copies the file into the socket once the head has left the socket's buffer. False
// while bytes wait; true when the stream has ended or must go on through the socket's buffer.
bool ProtocolConnection::streamByKernel()
{
    if (m_socket->bytesToWrite() > 0)
        return false; // bytesWritten brings us back
    while (m_streamLeft > 0) {
        const qint64 n =
            TcpKernel::SendFile(int(m_socket->socketDescriptor()), m_streaming->handle(), m_streamOffset, m_streamLeft);
        if (n > 0) {
            m_streamOffset += n;
            m_streamLeft -= n;
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            watchWritable(true);
            return false;
        }
        if (n < 0 && (errno == EINVAL || errno == ENOSYS)) {
            watchWritable(false);
            m_kernelCopies = false;
            if (!m_streaming->seek(m_streamOffset))
                endStream(false);
            return true;
        }
        // the file ended early, or the connection failed (its own events tell the rest)
        endStream(false);
        return true;
    }
    endStream(true);
    return true;
}

void ProtocolConnection::continueStream()
{
    if (m_streaming && m_kernelCopies && streamSome())
        pump();
}

void ProtocolConnection::watchWritable(bool on)
{
    if (on && !m_writable) {
        m_writable = new QSocketNotifier(m_socket->socketDescriptor(), QSocketNotifier::Write, this);
        connect(m_writable, &QSocketNotifier::activated, this, &ProtocolConnection::continueStream);
    }
    if (m_writable)
        m_writable->setEnabled(on);
}

void ProtocolConnection::endStream(bool ok)
{
    if (m_writable) {
        // it may be the very notifier whose signal brought us here
        m_writable->setEnabled(false);
        m_writable->deleteLater();
        m_writable = nullptr;
    }
    m_streaming.reset();
    m_streamOffset = 0;
    m_streamLeft = 0;
    if (ok)
        startGap(); // the next message must not land in the set's last read
    else
        LogText(sendingError(m_peer));
    onStreamEnded(ok);
}

void ProtocolConnection::onStreamEnded(bool) {}

// --- ServerConnection ---

ServerConnection::ServerConnection(QTcpSocket* socket, QObject* parent)
    : ProtocolConnection(socket, Protocol::Side::Server, parent)
{
    setPeer(dottedAddress(socket->peerAddress()));
}

bool ServerConnection::sendQuestionSet(const QStringList& settings, const QString& filePath)
{
    // Opened before anything goes out: when it cannot be, nothing of the set is sent; once open,
    // the transfer no longer depends on the path, which the next hand-out may delete or rebuild.
    std::shared_ptr<QFile> file = openForStreaming(filePath);
    if (!file)
        return false;
    send(Protocol::settingsList(settings));
    pause();
    queueFile(std::move(file));
    return true;
}

void ServerConnection::takeRead(const QByteArray& read)
{
    LogIn(peer(), Protocol::ServerReceiver::readLogText(read));
    dispatch(m_receiver.feed(read));
}

void ServerConnection::flushHeld()
{
    dispatch(m_receiver.flushHeld());
}

void ServerConnection::dispatch(const QList<Protocol::ServerReceiver::Event>& events)
{
    for (const Protocol::ServerReceiver::Event& e : events) {
        if (e.type == Protocol::ServerReceiver::Event::Type::Refused)
            LogText(e.problem);
        else if (e.type == Protocol::ServerReceiver::Event::Type::Message)
            Q_EMIT messageReceived(e.message);
    }
}

void ServerConnection::onResetClosed()
{
    LogText(QStringLiteral("Socket \"%1\" Closed").arg(peer()));
}

void ServerConnection::onStreamEnded(bool ok)
{
    if (ok)
        Q_EMIT questionSetSent();
    else
        Q_EMIT questionSetFailed();
}

// --- StudentConnection ---

StudentConnection::StudentConnection(QObject* parent)
    : ProtocolConnection(new QTcpSocket, Protocol::Side::Student, parent)
{
    connect(socket(), &QTcpSocket::connected, this, &StudentConnection::connected);
}

void StudentConnection::connectToServer(const QString& address, quint16 port)
{
    setPeer(address);
    m_receiver = Protocol::StudentReceiver();
    socket()->connectToHost(address, port);
}

void StudentConnection::disconnectFromServer()
{
    socket()->disconnectFromHost();
}

bool StudentConnection::isConnected() const
{
    return socket()->state() == QAbstractSocket::ConnectedState;
}

void StudentConnection::sendRout(int priceSum, const QStringList& route)
{
    send(Protocol::rout(priceSum, route));
    pause();
}

void StudentConnection::sendTotalReport(const QStringList& results)
{
    pause();
    send(Protocol::totalReport(results));
}

void StudentConnection::sendFinishReport(const QStringList& results)
{
    pause();
    send(Protocol::finishReport(results));
}

void StudentConnection::reportQuestionSetFailure()
{
    m_receiver.abortQuestionSet();
    LogText(QString::fromLatin1(Protocol::QuestionSetNotReceived));
    send(Protocol::command(Protocol::Head::ReceivingError));
}

void StudentConnection::takeRead(const QByteArray& read)
{
    dispatch(m_receiver.feed(read));
}

void StudentConnection::flushHeld()
{
    dispatch(m_receiver.flushHeld());
}

void StudentConnection::dispatch(const QList<Protocol::StudentReceiver::Event>& events)
{
    using Type = Protocol::StudentReceiver::Event::Type;
    for (const Protocol::StudentReceiver::Event& e : events) {
        if (e.logText)
            LogIn(peer(), *e.logText);
        switch (e.type) {
        case Type::Message:
            Q_EMIT messageReceived(e.message);
            break;
        case Type::Ignored:
            break;
        case Type::Refused:
            LogText(e.problem);
            break;
        case Type::QuestionSetHead:
            Q_EMIT questionSetStarted(e.byteCount);
            break;
        case Type::QuestionSetComplete:
            Q_EMIT questionSetReceived(e.bytes);
            break;
        case Type::QuestionSetRefused:
            LogText(e.problem);
            reportQuestionSetFailure();
            Q_EMIT questionSetFailed(e.problem);
            break;
        }
    }
}

// --- CommandServer ---

CommandServer::CommandServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &CommandServer::accept);
}

CommandServer::~CommandServer() = default;

bool CommandServer::listen(quint16 port)
{
    return m_server->listen(QHostAddress::AnyIPv4, port);
}

void CommandServer::close()
{
    m_server->close();
    for (ServerConnection* c : std::as_const(m_connections))
        c->socket()->abort();
}

quint16 CommandServer::port() const
{
    return m_server->serverPort();
}

void CommandServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        auto* connection = new ServerConnection(socket, this);
        m_connections += connection;
        connect(connection, &ProtocolConnection::disconnected, this, [this, connection] {
            m_connections.removeOne(connection);
            Q_EMIT clientDisconnected(connection);
            connection->deleteLater();
        });
        Q_EMIT clientConnected(connection);
    }
}
