#include "studentnetwork.h"

#include "connection.h"
#include "udpaduser.h"

#include <QTcpSocket>

namespace {

class StudentChannel : public ServerChannel
{
public:
    explicit StudentChannel(ServerChannelEvents& events)
    {
        StudentConnection* c = &m_connection;
        QObject::connect(c, &StudentConnection::connected, c, [&events] { events.channelConnected(); });
        QObject::connect(c, &StudentConnection::disconnected, c, [&events] { events.channelDisconnected(); });
        QObject::connect(c, &StudentConnection::socketError, c, [&events](int code) { events.channelError(code); });
        QObject::connect(c, &StudentConnection::messageReceived, c,
                         [&events](const Protocol::ServerMessage& m) { events.channelMessage(m); });
        QObject::connect(c, &StudentConnection::questionSetReceived, c,
                         [&events](const QByteArray& package) { events.channelQuestionSet(package); });
        QObject::connect(c, &StudentConnection::questionSetFailed, c, [&events] { events.channelQuestionSetFailed(); });
        QObject::connect(c, &StudentConnection::messageUnsent, c,
                         [&events](const QByteArray& message) { events.channelUnsent(message); });
    }

    void connectToServer(const QString& address, quint16 port) override { m_connection.connectToServer(address, port); }
    bool isUnconnected() const override { return m_connection.socket()->state() == QAbstractSocket::UnconnectedState; }
    bool isConnected() const override { return m_connection.isConnected(); }
    void send(const QByteArray& message) override { m_connection.send(message); }
    void sendIam(int topicId, const QString& hostName) override { m_connection.sendIam(topicId, hostName); }
    void sendNoop() override { m_connection.sendNoop(); }
    void sendRout(int priceSum, const QStringList& route) override { m_connection.sendRout(priceSum, route); }
    void sendReport(const Protocol::ReportLines& lines) override { m_connection.sendReport(lines); }
    void sendFinishReport(const QStringList& results) override { m_connection.sendFinishReport(results); }
    void sendTotalReport(const QStringList& results) override { m_connection.sendTotalReport(results); }
    void sendCriteriaNeeded() override { m_connection.sendCriteriaNeeded(); }
    void abortQuestionSet() override { m_connection.abortQuestionSet(); }
    void reportQuestionSetFailure() override { m_connection.reportQuestionSetFailure(); }

private:
    StudentConnection m_connection;
};

// The discovery user, never stopping by itself, handing every answer on.
class UdpServerListener : public ServerListener
{
public:
    explicit UdpServerListener(AdvertisementHandler onAdvertisement)
    {
        m_user.setAutoDeactivationDelay(0);
        QObject::connect(&m_user, &TUDPAdUser::OnAdvertisementReceived, &m_user,
                         [onAdvertisement](TUDPAdUser*, const QString& info, const QString& ip, const QString& name) {
                             onAdvertisement(info, ip, name);
                         });
    }
    void setPort(int port) override { m_user.setPort(port); }
    void setActive(bool active) override { m_user.setActive(active); }
    bool isActive() const override { return m_user.isActive(); }

private:
    TUDPAdUser m_user;
};

class QtStudentNetwork : public StudentNetwork
{
public:
    std::unique_ptr<ServerChannel> channel(ServerChannelEvents& events) override { return MakeStudentChannel(events); }
    std::unique_ptr<ServerListener> listener(AdvertisementHandler onAdvertisement) override
    {
        return std::make_unique<UdpServerListener>(std::move(onAdvertisement));
    }
};

} // namespace

std::unique_ptr<StudentNetwork> MakeStudentNetwork()
{
    return std::make_unique<QtStudentNetwork>();
}

std::unique_ptr<ServerChannel> MakeStudentChannel(ServerChannelEvents& events)
{
    return std::make_unique<StudentChannel>(events);
}
