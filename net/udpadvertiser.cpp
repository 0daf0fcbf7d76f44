#include "udpadvertiser.h"

#include "runlog.h"

#include <QMetaObject>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TAdvertisingThread::TAdvertisingThread(int port, QByteArray answer, QObject* parent)
    : QThread(parent), m_port(port), m_answer(std::move(answer))
{}

void TAdvertisingThread::requestStop()
{
    m_stop = true;
    m_wake.raise();
}

void TAdvertisingThread::run()
{
    QString failure;
    const int fd = Discovery::OpenBoundSocket(m_port, &failure);
    if (fd < 0) {
        Q_EMIT failed(failure);
        return;
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
        m_boundPort = ntohs(local.sin_port);

    while (!m_stop) {
        const Discovery::WaitResult wait = Discovery::WaitForSocket(fd, m_wake, -1);
        if (wait == Discovery::WaitResult::Woken)
            break;
        if (wait != Discovery::WaitResult::Readable)
            continue;
        char query[Discovery::QueryReadBytes];
        sockaddr_in source{};
        socklen_t sourceLength = sizeof source;
        while (!m_stop &&
               ::recvfrom(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&source), &sourceLength) >= 0) {
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
    m_worker =
        new TAdvertisingThread(m_port, Discovery::BuildAnswer(Discovery::LocalComputerName(), m_infoString), this);
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
