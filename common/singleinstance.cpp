#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr qsizetype MaxHandOverBytes = 64 * 1024; // a path, never more
constexpr char Acknowledged = '\1';

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

// The socket's address; false when the path does not fit one.
bool addressOf(const QString& path, sockaddr_un* address)
{
    const QByteArray name = QFile::encodeName(path);
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (name.isEmpty() || size_t(name.size()) >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, name.constData(), size_t(name.size()));
    return true;
}

int newSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Waits until the socket is ready for `events` or the deadline passes.
bool waitFor(int fd, short events, const QDeadlineTimer& deadline)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        if (n > 0)
            return (p.revents & events) != 0;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// Connects without blocking longer than the deadline. A listener whose queue is full is alive too.
int connectTo(const sockaddr_un& address, const QDeadlineTimer& deadline, bool* alive)
{
    *alive = false;
    const int fd = newSocket();
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        *alive = true;
        return fd;
    }
    if (errno == EAGAIN || errno == EINPROGRESS) {
        *alive = true;
        int error = 0;
        socklen_t length = sizeof error;
        if (waitFor(fd, POLLOUT, deadline) && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
            error == 0)
            return fd;
    }
    ::close(fd);
    return -1;
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

SingleInstance::~SingleInstance()
{
    while (!m_callers.empty())
        dropCaller(m_callers.begin()->first);
    if (m_listener >= 0) {
        delete m_accepting;
        ::close(m_listener);
        ::unlink(QFile::encodeName(m_socketName).constData());
    }
}

// Binds and listens; false with errno set when it cannot.
bool SingleInstance::listenOn()
{
    sockaddr_un address;
    if (!addressOf(m_socketName, &address)) {
        errno = ENAMETOOLONG;
        return false;
    }
    const int fd = newSocket();
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    m_listener = fd;
    m_accepting = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_accepting, &QSocketNotifier::activated, this, &SingleInstance::acceptCallers);
    return true;
}

bool SingleInstance::claim()
{
    if (listenOn())
        return true;
    if (errno != EADDRINUSE)
        return true; // no guard can be had; the program runs unguarded rather than not at all
    // Either another instance listens, or a crashed one left its socket file behind.
    sockaddr_un address;
    addressOf(m_socketName, &address);
    bool alive = false;
    const int probe = connectTo(address, QDeadlineTimer(500), &alive);
    if (probe >= 0)
        ::close(probe);
    if (alive)
        return false;
    ::unlink(QFile::encodeName(m_socketName).constData());
    if (listenOn())
        return true;
    return errno != EADDRINUSE; // in use again: another start came first
}

void SingleInstance::acceptCallers()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        Caller& caller = m_callers[fd];
        caller.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(caller.notifier, &QSocketNotifier::activated, this, [this, fd] { readCaller(fd); });
    }
}

void SingleInstance::readCaller(int fd)
{
    Caller& caller = m_callers[fd];
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            caller.buffer.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        dropCaller(fd); // closed before its message ended
        return;
    }
    const qsizetype end = caller.buffer.indexOf('\0');
    if (end < 0) {
        if (caller.buffer.size() > MaxHandOverBytes)
            dropCaller(fd);
        return;
    }
    const bool hasArgument = caller.buffer.startsWith('A');
    const QString argument = QString::fromUtf8(caller.buffer.mid(1, end - 1));
    ::send(fd, &Acknowledged, 1, MSG_NOSIGNAL); // the sender may end now
    dropCaller(fd);
    // Told from the event loop once this handler has returned: a receiver may run a modal dialog.
    QMetaObject::invokeMethod(
        this, [this, argument, hasArgument] { Q_EMIT activated(argument, hasArgument); }, Qt::QueuedConnection);
}

void SingleInstance::dropCaller(int fd)
{
    const auto it = m_callers.find(fd);
    if (it == m_callers.end())
        return;
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater(); // it may be the one whose signal runs now
    ::close(fd);
    m_callers.erase(it);
}

bool SingleInstance::handOver(const QString& argument, bool hasArgument, int timeoutMs)
{
    sockaddr_un address;
    if (!addressOf(m_socketName, &address))
        return false;
    bool alive = false;
    const int fd = connectTo(address, QDeadlineTimer(timeoutMs), &alive);
    if (fd < 0)
        return false;
    QByteArray message(1, hasArgument ? 'A' : 'F');
    message += argument.toUtf8();
    message += '\0';
    bool delivered = false;
    const QDeadlineTimer writing(timeoutMs);
    qsizetype sent = 0;
    while (sent < message.size()) {
        const ssize_t n = ::send(fd, message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && (errno == EINTR || (errno == EAGAIN && waitFor(fd, POLLOUT, writing))))
            continue;
        else
            break;
    }
    if (sent == message.size() && waitFor(fd, POLLIN, QDeadlineTimer(timeoutMs))) {
        char answer = 0;
        delivered = ::read(fd, &answer, 1) == 1 && answer == Acknowledged;
    }
    ::close(fd);
    return delivered;
}
