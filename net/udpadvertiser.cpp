#include "udpadvertiser.h"

#include "runlog.h"

#include <QMetaObject>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Without a wake descriptor the worker looks at its stop flag this often.
constexpr int FallbackPollMs = 50;

} // namespace

TAdvertisingThread::TAdvertisingThread(int port, QByteArray answer, QObject* parent)
    : QThread(parent), m_port(port), m_answer(std::move(answer))
{
}

void TAdvertisingThread::requestStop()
{
    m_stop = true;
    m_wake.raise();
}

void TAdvertisingThread::run()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Q_EMIT failed(QStringLiteral("Failed to create a socket, Error #%1").arg(Discovery::WsaCodeOfErrno(errno)));
        return;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(quint16(m_port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        Q_EMIT failed(QStringLiteral("Failed to bind a socket, Error #%1").arg(Discovery::WsaCodeOfErrno(errno)));
        ::close(fd);
        return;
    }
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        m_boundPort = ntohs(local.sin_port);

    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake.fd(), POLLIN, 0}};
    const int timeout = m_wake.fd() >= 0 ? -1 : FallbackPollMs;
    while (!m_stop) {
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        char query[Discovery::QueryReadBytes];
        sockaddr_in source{};
        socklen_t sourceLength = sizeof source;
        while (!m_stop && ::recvfrom(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&source),
                                     &sourceLength) >= 0) {
            ::sendto(fd, m_answer.constData(), size_t(m_answer.size()), 0, reinterpret_cast<sockaddr*>(&source),
                     sourceLength);
            sourceLength = sizeof source;
        }
    }
    m_boundPort = 0;
    ::close(fd);
}

TUDPAdvertiser::TUDPAdvertiser(QObject* parent) : QObject(parent)
{
    QMetaObject::invokeMethod(this, &TUDPAdvertiser::finishLoading, Qt::QueuedConnection);
}

TUDPAdvertiser::~TUDPAdvertiser()
{
    stopWorker();
}

void TUDPAdvertiser::finishLoading()
{
    m_loaded = true;
    if (m_active)
        startWorker();
}

void TUDPAdvertiser::setPort(int port)
{
    stopWorker();
    m_port = port;
    m_active = true;
    if (m_loaded)
        startWorker();
}

void TUDPAdvertiser::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (!m_loaded)
        return;
    if (active)
        startWorker();
    else
        stopWorker();
}

int TUDPAdvertiser::boundPort() const
{
    return m_worker ? m_worker->boundPort() : 0;
}

void TUDPAdvertiser::startWorker()
{
    m_worker = new TAdvertisingThread(m_port, Discovery::BuildAnswer(Discovery::LocalComputerName(), m_infoString),
                                      this);
    // A failed worker leaves the component marked active, as the Windows program does; the text
    // tells what happened.
    connect(m_worker, &TAdvertisingThread::failed, this, [this](const QString& text) {
        LogText(text);
        m_errorString = text;
        Q_EMIT errorOccurred(text);
    });
    m_worker->start();
}

void TUDPAdvertiser::stopWorker()
{
    if (!m_worker)
        return;
    m_worker->requestStop();
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
}
