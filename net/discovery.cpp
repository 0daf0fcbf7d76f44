#include "discovery.h"

#include "codec.h"

#include <QSysInfo>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Discovery {

quint32 CheckValue(QByteArrayView bytes)
{
    quint8 sum = 0;
    quint8 x = 0;
    for (const char c : bytes) {
        sum = quint8(sum + quint8(c));
        x ^= quint8(c);
    }
    return quint32(sum) * 256 + x;
}

QByteArray BuildAnswer(const QString& computerName, const QString& infoString)
{
    const QByteArray text = toCp1251(computerName) + ',' + toCp1251(infoString);
    const quint32 check = CheckValue(text);
    QByteArray out(CheckBytes, '\0');
    for (int i = 0; i < CheckBytes; ++i)
        out[i] = char((check >> (8 * i)) & 0xFF);
    return out + text;
}

std::optional<QByteArray> CheckedPayload(QByteArrayView datagram)
{
    if (datagram.size() <= CheckBytes)
        return std::nullopt;
    quint32 stated = 0;
    for (int i = 0; i < CheckBytes; ++i)
        stated |= quint32(quint8(datagram[i])) << (8 * i);
    const QByteArrayView payload = datagram.sliced(CheckBytes);
    if (CheckValue(payload) != stated)
        return std::nullopt;
    return payload.toByteArray();
}

Answer SplitPayload(const QByteArray& payload)
{
    const qsizetype comma = payload.indexOf(',');
    if (comma < 0)
        return {QString(), fromCp1251(payload)};
    return {fromCp1251(payload.first(comma)), fromCp1251(payload.sliced(comma + 1))};
}

QString LocalComputerName()
{
    static constexpr int MaxNameChars = 15;
    QString name = QSysInfo::machineHostName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name.left(MaxNameChars);
}

int WsaCodeOfErrno(int err)
{
    switch (err) {
    case EACCES:
        return 10013;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENOBUFS:
        return 10055;
    default:
        return err;
    }
}

WakeSignal::WakeSignal() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void WakeSignal::raise()
{
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

bool WakeSignal::isRaised() const
{
    pollfd p{m_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

int OpenBoundSocket(int port, QString* failure)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *failure = QStringLiteral("Failed to create a socket, Error #%1").arg(WsaCodeOfErrno(errno));
        return -1;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(quint16(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        *failure = QStringLiteral("Failed to bind a socket, Error #%1").arg(WsaCodeOfErrno(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

WaitResult WaitForSocket(int fd, const WakeSignal& wake, int timeoutMs)
{
    // Without a wake descriptor the stop flag is looked at this often.
    static constexpr int FallbackPollMs = 50;
    if (wake.fd() < 0 && (timeoutMs < 0 || timeoutMs > FallbackPollMs))
        timeoutMs = FallbackPollMs;
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake.fd(), POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) <= 0)
        return WaitResult::TimedOut;
    if (fds[1].revents)
        return WaitResult::Woken;
    return (fds[0].revents & POLLIN) ? WaitResult::Readable : WaitResult::TimedOut;
}

} // namespace Discovery
