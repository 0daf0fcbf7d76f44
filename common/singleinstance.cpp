#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MaxHandOverBytes = 64 * 1024; // a path, never more
constexpr int ProbeTimeoutMs = 500;

// A folder only this user can enter, so that no other user can reach or replace the socket.
QString privateSocketFolder()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo(runtime).isDir())
        runtime = QDir::tempPath();
    const QString folder = QDir(runtime).filePath(QStringLiteral("vastrel-%1").arg(::getuid()));
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent)
{
    m_socketName = name;
    const QString home = qEnvironmentVariable("VASTREL_HOME");
    if (!home.isEmpty()) // a stable digest: qHash is seeded per process
        m_socketName += u'-' + QString::fromLatin1(
                                   QCryptographicHash::hash(home.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
    m_socketName = QDir(privateSocketFolder()).filePath(m_socketName);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    m_server = new QLocalServer(this);
    if (!m_server->listen(m_socketName)) {
        // Either another instance listens, or a crashed one left its socket file behind.
        QLocalSocket probe;
        probe.connectToServer(m_socketName);
        if (probe.waitForConnected(ProbeTimeoutMs)) {
            probe.disconnectFromServer();
            delete m_server;
            m_server = nullptr;
            return false;
        }
        QLocalServer::removeServer(m_socketName);
        if (!m_server->listen(m_socketName)) {
            delete m_server;
            m_server = nullptr;
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
            const qsizetype end = buffer.indexOf('\0');
            if (end < 0) {
                if (buffer.size() > MaxHandOverBytes)
                    socket->abort();
                else
                    socket->setProperty("buffer", buffer);
                return;
            }
            socket->setProperty("buffer", QByteArray());
            const bool hasArgument = buffer.startsWith('A');
            const QString argument = QString::fromUtf8(buffer.mid(1, end - 1));
            socket->write("\1"); // acknowledged: the sender may end now
            socket->flush();
            // Told from the event loop once this handler has returned: a receiver may run a modal
            // dialog, during which the sender ends and this socket is deleted.
            QMetaObject::invokeMethod(
                this, [this, argument, hasArgument] { Q_EMIT activated(argument, hasArgument); }, Qt::QueuedConnection);
        });
    }
}

bool SingleInstance::handOver(const QString& argument, bool hasArgument, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message(1, hasArgument ? 'A' : 'F');
    message += argument.toUtf8();
    message += '\0';
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    return socket.waitForReadyRead(timeoutMs) && socket.read(1) == "\1";
}
