#include "latenetwork.h"

#include "runlog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

class LateNetwork::Channel : public ServerChannel
{
public:
    Channel(LateNetwork& owner, ServerChannelEvents& events) : m_owner(owner), m_events(events) {}
    ~Channel() override { m_owner.m_channel = nullptr; }

    void arrive(StudentNetwork& network)
    {
        m_real = network.channel(m_events);
        if (!m_address.isEmpty())
            m_real->connectToServer(m_address, m_port);
    }

    void connectToServer(const QString& address, quint16 port) override
    {
        if (m_real) {
            m_real->connectToServer(address, port);
            return;
        }
        m_address = address;
        m_port = port;
    }
    bool isUnconnected() const override { return m_real ? m_real->isUnconnected() : m_address.isEmpty(); }
    bool isConnected() const override { return m_real && m_real->isConnected(); }
    void send(const QByteArray& message) override
    {
        with([&](ServerChannel& c) { c.send(message); });
    }
    void sendIam(int topicId, const QString& hostName) override
    {
        with([&](ServerChannel& c) { c.sendIam(topicId, hostName); });
    }
    void sendNoop() override
    {
        with([](ServerChannel& c) { c.sendNoop(); });
    }
    void sendRout(int priceSum, const QStringList& route) override
    {
        with([&](ServerChannel& c) { c.sendRout(priceSum, route); });
    }
    void sendReport(const Protocol::ReportLines& lines) override
    {
        with([&](ServerChannel& c) { c.sendReport(lines); });
    }
    void sendFinishReport(const QStringList& results) override
    {
        with([&](ServerChannel& c) { c.sendFinishReport(results); });
    }
    void sendTotalReport(const QStringList& results) override
    {
        with([&](ServerChannel& c) { c.sendTotalReport(results); });
    }
    void sendCriteriaNeeded() override
    {
        with([](ServerChannel& c) { c.sendCriteriaNeeded(); });
    }
    void abortQuestionSet() override
    {
        with([](ServerChannel& c) { c.abortQuestionSet(); });
    }
    void reportQuestionSetFailure() override
    {
        with([](ServerChannel& c) { c.reportQuestionSetFailure(); });
    }

private:
    template <typename F> void with(F f)
    {
        if (m_real)
            f(*m_real);
    }

    LateNetwork& m_owner;
    ServerChannelEvents& m_events;
    std::unique_ptr<ServerChannel> m_real;
    QString m_address; // the server asked for before the sockets came
    quint16 m_port = 0;
};

class LateNetwork::Listener : public ServerListener
{
public:
    void arrive(StudentNetwork& network, const AdvertisementHandler& onAdvertisement)
    {
        m_real = network.listener(onAdvertisement);
        m_real->setPort(m_port);
        m_real->setActive(m_active);
    }

    void setPort(int port) override
    {
        m_port = port;
        if (m_real)
            m_real->setPort(port);
    }
    void setActive(bool active) override
    {
        m_active = active;
        if (m_real)
            m_real->setActive(active);
    }
    bool isActive() const override { return m_real ? m_real->isActive() : m_active; }

private:
    std::unique_ptr<ServerListener> m_real;
    int m_port = 0;
    bool m_active = false;
};

LateNetwork::LateNetwork() : m_listener(std::make_unique<Listener>()) {}

LateNetwork::~LateNetwork() = default;

ChannelFactory LateNetwork::channels()
{
    return [this](ServerChannelEvents& events) -> std::unique_ptr<ServerChannel> {
        auto channel = std::make_unique<Channel>(*this, events);
        m_channel = channel.get();
        if (m_network)
            channel->arrive(*m_network);
        return channel;
    };
}

ServerListener& LateNetwork::listener()
{
    return *m_listener;
}

void LateNetwork::setAdvertisementHandler(AdvertisementHandler handler)
{
    m_onAdvertisement = std::move(handler);
}

void LateNetwork::arrive(std::unique_ptr<StudentNetwork> network)
{
    m_network = std::move(network);
    m_listener->arrive(*m_network, m_onAdvertisement);
    if (m_channel)
        m_channel->arrive(*m_network);
}

std::unique_ptr<StudentNetwork> LoadStudentNetwork(QString* error)
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString name = QString::fromLatin1(StudentNetworkModuleName);
    QString path = folder + u'/' + name;
    if (!QFileInfo::exists(path))
        path = folder + QStringLiteral("/../lib/vastrel/") + name;
    return LoadStudentNetworkFrom(path, error);
}

std::unique_ptr<StudentNetwork> LoadStudentNetworkFrom(const QString& path, QString* error)
{
    QLibrary module(path); // never unloaded: the sockets live as long as the program
    const auto version = reinterpret_cast<StudentNetworkVersion>(module.resolve(StudentNetworkVersionName));
    const auto entry = reinterpret_cast<StudentNetworkEntry>(module.resolve(StudentNetworkEntryName));
    if (!version || !entry) {
        *error = module.errorString();
        return nullptr;
    }
    const QString moduleVersion = QString::fromLatin1(version());
    if (moduleVersion != QLatin1String(VASTREL_VERSION)) {
        *error = QStringLiteral("%1 is of version %2, the program of version %3")
                     .arg(path, moduleVersion, QStringLiteral(VASTREL_VERSION));
        return nullptr;
    }
    return std::unique_ptr<StudentNetwork>(entry(&RunLog::appendLine));
}
