#include "udpaduser.h"

#include "runlog.h"

#include <QHostAddress>
#include <QMetaObject>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// --- TDetectedAdvertisers ---

const TDetectedAdvertiser* TDetectedAdvertisers::find(const QString& ip) const
{
    for (const TDetectedAdvertiser& a : m_items) {
        if (a.ip == ip)
            return &a;
    }
    return nullptr;
}

bool TDetectedAdvertisers::update(const QString& ip, const QString& computerName, const QString& infoString)
{
    for (TDetectedAdvertiser& a : m_items) {
        if (a.ip == ip) {
            a.computerName = computerName;
            a.infoString = infoString;
            return false;
        }
    }
    m_items += TDetectedAdvertiser{ip, computerName, infoString};
    return true;
}

// --- TUserThread ---

TUserThread::TUserThread(int port, QString broadcastAddress, int intervalMs, int autoDeactivationDelayMs,
                         QObject* parent)
    : QThread(parent), m_port(port), m_broadcastAddress(std::move(broadcastAddress)),
      m_autoDeactivationDelay(autoDeactivationDelayMs), m_interval(intervalMs)
{}

void TUserThread::requestStop()
{
    m_stop = true;
    m_wake.raise();
}

void TUserThread::run()
{
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;

    QString failure;
    const int fd = Discovery::OpenBoundSocket(0, &failure);
    if (fd < 0) {
        Q_EMIT failed(failure);
        return;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(quint16(m_port));
    target.sin_addr.s_addr = htonl(QHostAddress(m_broadcastAddress).toIPv4Address());

    const Clock::time_point start = Clock::now();
    const bool hasDeadline = m_autoDeactivationDelay > 0;
    const Clock::time_point deadline = start + milliseconds(m_autoDeactivationDelay);
    Clock::time_point lastQuery{};
    bool queried = false;
    while (!m_stop) {
        const Clock::time_point now = Clock::now();
        if (hasDeadline && now >= deadline)
            break;
        const milliseconds interval(m_interval.load());
        if (!queried || now - lastQuery > interval) {
            ::sendto(fd, Discovery::QueryText, 4, 0, reinterpret_cast<sockaddr*>(&target), sizeof target);
            lastQuery = now;
            queried = true;
        }
        // sleep until the next query is due, the deadline, an answer or a stop
        Clock::time_point wakeAt = lastQuery + interval + milliseconds(1);
        if (hasDeadline && deadline < wakeAt)
            wakeAt = deadline;
        const int timeout = qMax(0, int(std::chrono::ceil<milliseconds>(wakeAt - Clock::now()).count()));
        const Discovery::WaitResult wait = Discovery::WaitForSocket(fd, m_wake, timeout);
        if (wait == Discovery::WaitResult::Woken)
            break;
        if (wait != Discovery::WaitResult::Readable)
            continue;
        char answer[Discovery::AnswerReadBytes];
        sockaddr_in source{};
        socklen_t sourceLength = sizeof source;
        ssize_t n;
        while (!m_stop && (n = ::recvfrom(fd, answer, sizeof answer, 0, reinterpret_cast<sockaddr*>(&source),
                                          &sourceLength)) >= 0) {
            sourceLength = sizeof source;
            const std::optional<QByteArray> payload = Discovery::CheckedPayload(QByteArrayView(answer, n));
            if (!payload || m_stop)
                continue;
            Q_EMIT answerReceived(*payload, QHostAddress(ntohl(source.sin_addr.s_addr)).toString());
        }
    }
    ::close(fd);
}

// --- TUDPAdUser ---

TUDPAdUser::TUDPAdUser(QObject* parent) : QObject(parent)
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_loaded = true;
            if (m_active) {
                m_active = false;
                setActive(true);
            }
        },
        Qt::QueuedConnection);
}

TUDPAdUser::~TUDPAdUser()
{
    // Workers that were let go may still be finishing; none may outlive the component.
    for (TUserThread* worker : findChildren<TUserThread*>()) {
        worker->requestStop();
        worker->wait();
    }
}

void TUDPAdUser::setBroadCastInterval(int ms)
{
    m_interval = qMax(ms, MinBroadCastInterval);
    if (m_worker)
        m_worker->setInterval(m_interval);
}

void TUDPAdUser::setActive(bool active)
{
    if (!m_loaded) {
        m_active = active;
        return;
    }
    if (!active) {
        if (m_worker)
            retire(m_worker);
        m_worker = nullptr;
        if (m_active) {
            m_active = false;
            Q_EMIT activeChanged(false);
        }
        return;
    }
    if (m_worker)
        retire(m_worker);
    m_advertisers.clear();
    auto* worker = new TUserThread(m_port, m_broadcastAddress, m_interval, m_autoDeactivationDelay, this);
    m_worker = worker;
    connect(worker, &TUserThread::answerReceived, this,
            [this, worker](const QByteArray& payload, const QString& ip) { takeAnswer(worker, payload, ip); });
    connect(worker, &TUserThread::failed, this, [this](const QString& text) {
        LogText(text);
        m_errorString = text;
        Q_EMIT errorOccurred(text);
    });
    connect(worker, &QThread::finished, this, [this, worker] { workerEnded(worker); });
    worker->start();
    if (!m_active) {
        m_active = true;
        Q_EMIT activeChanged(true);
    }
}

// Asks the worker to stop without waiting; it frees itself when it has ended.
void TUDPAdUser::retire(TUserThread* worker)
{
    worker->requestStop();
}

void TUDPAdUser::takeAnswer(TUserThread* worker, const QByteArray& payload, const QString& ip)
{
    if (worker != m_worker || worker->stopRequested())
        return;
    const Discovery::Answer answer = Discovery::SplitPayload(payload);
    if (m_advertisers.update(ip, answer.computerName, answer.infoString))
        Q_EMIT OnNewAdvertiserDetected(this);
    Q_EMIT OnAdvertisementReceived(this, answer.infoString, ip, answer.computerName);
}

void TUDPAdUser::workerEnded(TUserThread* worker)
{
    worker->deleteLater();
    if (worker != m_worker)
        return;
    m_worker = nullptr;
    if (m_active) {
        m_active = false;
        Q_EMIT activeChanged(false);
    }
}
