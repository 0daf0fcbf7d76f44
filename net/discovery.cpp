#include "discovery.h"

#include "codec.h"

#include <QSysInfo>

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
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
    case EACCES: return 10013;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENOBUFS: return 10055;
    default: return err;
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

} // namespace Discovery
