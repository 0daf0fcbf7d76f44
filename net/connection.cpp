#include "connection.h"

#include "runlog.h"
#include "socketerror.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <cerrno>

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
    m_pauseTimer.setSingleShot(true);
    // a coarse timer may end a pause early, and the pause is what keeps two messages apart
    m_pauseTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_pauseTimer, &QTimer::timeout, this, &ProtocolConnection::pump);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { takeRead(m_socket->readAll()); });
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
    if (isOpen())
        m_hold.take(m_socket->socketDescriptor());
    connect(m_socket, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState state) {
        if (state == QAbstractSocket::ConnectedState)
            m_hold.take(m_socket->socketDescriptor());
        else if (state == QAbstractSocket::UnconnectedState)
            m_hold.release(); // now this side's close reaches the peer
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_pauseTimer.stop();
        if (m_streaming)
            endStream(false);
        // a set still waiting behind a pause did not get through either
        std::deque<Entry> dropped;
        dropped.swap(m_queue);
        for (const Entry& e : dropped) {
            if (e.type == Entry::Type::File) {
                LogText(sendingError(m_peer));
                onStreamEnded(false);
            }
        }
        Q_EMIT disconnected();
    });
}

ProtocolConnection::~ProtocolConnection() = default;

void ProtocolConnection::takeError(QAbstractSocket::SocketError error)
{
    // The socket library reports a reset by the peer as an orderly close; the held socket tells
    // them apart. An orderly close is a disconnection, not an error, as on the Windows side.
    if (error == QAbstractSocket::RemoteHostClosedError && !m_hold.wasReset())
        return;
    onSocketError(WsaErrorCode(error));
}

bool ProtocolConnection::isOpen() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

bool ProtocolConnection::isIdle() const
{
    return m_queue.empty() && !m_pauseTimer.isActive() && !m_streaming;
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
    while (!m_queue.empty() && !m_pauseTimer.isActive() && !m_streaming) {
        Entry e = std::move(m_queue.front());
        m_queue.pop_front();
        worked = true;
        switch (e.type) {
        case Entry::Type::Pause:
            m_pauseTimer.start(e.ms);
            break;
        case Entry::Type::Bytes:
            if (isOpen()) {
                m_socket->write(e.bytes);
                if (const std::optional<QString> text = Protocol::sentLogText(m_side, e.bytes))
                    LogOut(m_peer, *text);
            }
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
    if (!ok)
        LogText(sendingError(m_peer));
    onStreamEnded(ok);
}

void ProtocolConnection::onStreamEnded(bool) {}

void ProtocolConnection::onSocketError(int wsaCode)
{
    LogText(QStringLiteral("ErrorCode=%1 (%2)").arg(wsaCode).arg(SocketErrorText(wsaCode)));
    Q_EMIT socketError(wsaCode);
}

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
    for (const Protocol::ServerReceiver::Event& e : m_receiver.feed(read)) {
        if (e.type == Protocol::ServerReceiver::Event::Type::Refused)
            LogText(e.problem);
        else if (e.type == Protocol::ServerReceiver::Event::Type::Message)
            Q_EMIT messageReceived(e.message);
    }
}

void ServerConnection::onSocketError(int wsaCode)
{
    static constexpr int ConnectionReset = 10054;
    ProtocolConnection::onSocketError(wsaCode);
    if (wsaCode == ConnectionReset) {
        const QString address = peer();
        socket()->abort();
        LogText(QStringLiteral("Socket \"%1\" Closed").arg(address));
    }
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
    using Type = Protocol::StudentReceiver::Event::Type;
    for (const Protocol::StudentReceiver::Event& e : m_receiver.feed(read)) {
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
