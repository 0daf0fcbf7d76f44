#pragma once

#include "protocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// The student computer's sockets as the link sees them: the discovery listener and the connection
// to the server. They are interfaces so that the program can load its sockets (and the network
// library under them) after its window is on screen, and so that tests can record.

// The discovery listener; the program's wraps the network library's discovery user, tests record.
class ServerListener
{
public:
    virtual ~ServerListener() = default;
    virtual void setPort(int port) = 0;
    virtual void setActive(bool active) = 0;
    virtual bool isActive() const = 0;
};

// What a listener hears: the answer's text, the sender's IP address and its computer's name.
using AdvertisementHandler = std::function<void(const QString& info, const QString& ip, const QString& name)>;

// What the connection to the server tells the link.
class ServerChannelEvents
{
public:
    virtual ~ServerChannelEvents() = default;
    virtual void channelConnected() = 0;
    virtual void channelDisconnected() = 0;
    // A socket error by its Windows Sockets number (10061 refused, ...); logged by the connection.
    virtual void channelError(int wsaCode) = 0;
    virtual void channelMessage(const Protocol::ServerMessage& message) = 0;
    virtual void channelQuestionSet(const QByteArray& package) = 0;
    virtual void channelQuestionSetFailed() = 0;
    // A queued message that never went out, in its wire form.
    virtual void channelUnsent(const QByteArray& message) = 0;
};

// The connection to the server: the student's side of the command protocol with its send queue
// and pauses.
class ServerChannel
{
public:
    virtual ~ServerChannel() = default;
    virtual void connectToServer(const QString& address, quint16 port) = 0;
    // No connection and no attempt running.
    virtual bool isUnconnected() const = 0;
    virtual bool isConnected() const = 0;
    virtual void send(const QByteArray& message) = 0;
    virtual void sendIam(int topicId, const QString& hostName) = 0;
    virtual void sendNoop() = 0;
    virtual void sendRout(int priceSum, const QStringList& route) = 0;
    virtual void sendReport(const Protocol::ReportLines& lines) = 0;
    virtual void sendFinishReport(const QStringList& results) = 0;
    virtual void sendTotalReport(const QStringList& results) = 0;
    virtual void sendCriteriaNeeded() = 0;
    virtual void abortQuestionSet() = 0;
    virtual void reportQuestionSetFailure() = 0;
};

using ChannelFactory = std::function<std::unique_ptr<ServerChannel>(ServerChannelEvents& events)>;

// The sockets of the network library behind the interfaces above: what the program's network
// module gives.
class StudentNetwork
{
public:
    virtual ~StudentNetwork() = default;
    virtual std::unique_ptr<ServerChannel> channel(ServerChannelEvents& events) = 0;
    virtual std::unique_ptr<ServerListener> listener(AdvertisementHandler onAdvertisement) = 0;
};
